#include "processscan.h"

#include <algorithm>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// What a fixed-size name buffer preset with "unknown" and blanks would hold: the
// text up to its first NUL, trailing blanks removed; "unknown" when nothing was read.
QString bufferText(const std::optional<QString> &read)
{
    QString text = read.value_or(QString());
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    if (text.isEmpty())
        return u"unknown"_s;
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    text.truncate(end);
    return text;
}

} // namespace

ScanSnapshot ProcessScan::cmdGet_Click(ByteCount totalPhysical, ByteCount availablePhysical)
{
    ScanSnapshot snapshot;
    snapshot.totalPhysical = totalPhysical;
    snapshot.availablePhysical = availablePhysical;
    ByteCount plotPosition = 0;

    // The operating system holds the used memory less what the last scan's processes
    // held; the first scan after start has no such figure and so no such slice.
    if (m_processTotal > 0) {
        const ByteCount size = totalPhysical - availablePhysical - m_processTotal;
        m_processName = u"Operating System"_s;
        snapshot.slices.push_back({m_processName, QString(), 0, plotPosition, size, false});
        plotPosition += size;
    }

    m_processTotal = 0;
    m_processSize = 0;

    const std::size_t bytes = m_source.enumProcesses(m_pidList);
    snapshot.enumerationFailed = bytes == 0;
    const std::size_t count = std::min(bytes / sizeof(ProcessId), m_pidList.size());
    // One allocation each for the whole scan rather than a growth step every so often.
    snapshot.slices.reserve(count + 2);
    snapshot.rows.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const QString previousName = m_processName;
        const ByteCount previousSize = m_processSize;
        GetProcessNameAndSize(m_pidList[i], snapshot);
        // A process equal in name and size to the one before it, which is also what a
        // process whose queries all failed looks like, gets no slice.
        if (m_processName == previousName && m_processSize == previousSize)
            continue;
        snapshot.slices.push_back(
            {m_processName, m_workDirectory, m_pidList[i], plotPosition, m_processSize, false});
        m_processTotal += m_processSize;
        plotPosition += m_processSize;
    }

    // Available memory is placed by the memory status alone, so it always ends at the
    // bar's right end whatever the processes add up to.
    m_processName = u"Available Memory"_s;
    snapshot.slices.push_back(
        {m_processName, QString(), 0, totalPhysical - availablePhysical, availablePhysical, true});
    return snapshot;
}

void ProcessScan::GetProcessNameAndSize(ProcessId pid, ScanSnapshot &snapshot)
{
    // The open is made for the two special identifiers too; the handle closes when it
    // goes out of scope.
    const std::unique_ptr<ProcessHandle> handle = m_source.openProcess(pid);

    // The idle task and the system have fixed names and no row.
    if (pid == 0) {
        m_processName = u"System Idle Process"_s;
        return;
    }
    if (pid == 2) {
        m_processName = u"System"_s;
        return;
    }

    // Nothing changes for a process that cannot be opened or whose executable cannot
    // be named.
    if (!handle || !handle->enumModules())
        return;

    if (const auto workingSet = handle->workingSetSize())
        m_processSize = *workingSet;
    m_processName = bufferText(handle->moduleBaseName());
    const QString fileName = bufferText(handle->moduleFileName());
    m_workDirectory = fileName.size() > m_processName.size()
                          ? fileName.left(fileName.size() - m_processName.size())
                          : QString();

    // The table grows to one row past the row this process would fill, whether or not
    // it gets one.
    const int appended = static_cast<int>(snapshot.rows.size());
    snapshot.minimumGridRows = std::max(snapshot.minimumGridRows, appended + 2);

    if (!m_processName.isEmpty() && !m_workDirectory.isEmpty() && m_processSize > 0)
        snapshot.rows.push_back({pid, m_processName, m_processSize, m_workDirectory});
}

} // namespace plenwick

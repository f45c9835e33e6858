#include "processscan.h"

#include "platform/toolkit/numberformat.h"

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

ProcessScan::ProcessScan(ScanState &scan, ChartState &chart, ProcessSource &source,
                         ChartPlotter &plotter, Hooks hooks)
    : m_scan(scan), m_chart(chart), m_source(source), m_plotter(plotter), m_hooks(std::move(hooks))
{}

QString ProcessScan::sizeText(ByteCount bytes)
{
    return shortestDecimal(static_cast<double>(bytes) / 1024.0) + u"k"_s;
}

void ProcessScan::cmdGet_Click()
{
    m_plotter.beginScan();

    // 1. Reset.
    m_scan.plotPosition = 0;
    m_scan.processSize = 0;
    m_scan.previousProcessSize = 0;
    m_chart.sliceCount = 0;
    m_chart.labelTop = 10;

    // 2. Heading row.
    {
        ProcessGrid &grid = m_hooks.grid();
        grid.refresh();
        grid.setRow(0);
        const QString headings[] = {u"Process ID"_s, u"Filename"_s, u"Size"_s, u"Work Directory"_s};
        for (int col = 0; col < ProcessGrid::kColumns; ++col) {
            grid.setCol(col);
            grid.setText(headings[col]);
        }
    }

    // 3. The operating system's share: used memory less the last scan's processes.
    if (m_scan.processTotal > 0) {
        m_scan.processSize = m_scan.totalPhysical - m_scan.availablePhysical - m_scan.processTotal;
        m_scan.processName = u"Operating System"_s;
        m_plotter.plotProg(m_scan.plotPosition, m_scan.processSize, 0, m_scan.processName,
                           QString());
        m_scan.plotPosition += m_scan.processSize;
    }

    // 4.
    m_scan.processTotal = 0;
    m_scan.processSize = 0;

    // 5. Enumerate.
    const std::size_t bytes = m_source.enumProcesses(m_pidList);
    if (bytes == 0) {
        if (m_hooks.enumerationFailed)
            m_hooks.enumerationFailed();
    } else {
        // 6. One slice per process that differs from the one before it.
        const std::size_t count = std::min(bytes / sizeof(ProcessId), m_pidList.size());
        for (std::size_t i = 0; i < count; ++i) {
            m_scan.previousProcessName = m_scan.processName;
            m_scan.previousProcessSize = m_scan.processSize;
            GetProcessNameAndSize(m_pidList[i]);
            if (m_scan.processName == m_scan.previousProcessName &&
                m_scan.processSize == m_scan.previousProcessSize)
                continue;
            m_plotter.plotProg(m_scan.plotPosition, m_scan.processSize, 0, m_scan.processName,
                               m_scan.workDirectory);
            m_scan.processTotal += m_scan.processSize;
            m_scan.plotPosition += m_scan.processSize;
        }

        // 7. Blank the rows a longer earlier scan left behind, never past the last row.
        ProcessGrid &grid = m_hooks.grid();
        if (grid.row() + 1 < grid.rows()) {
            grid.setRow(grid.row() + 1);
            for (;;) {
                for (int col = 0; col < ProcessGrid::kColumns; ++col) {
                    grid.setCol(col);
                    grid.setText(QString());
                }
                if (grid.row() + 1 >= grid.rows())
                    break;
                grid.setRow(grid.row() + 1);
                if (grid.text().isEmpty())
                    break;
            }
        }
    }

    // 8. Available memory, placed by the memory status alone.
    m_scan.processName = u"Available Memory"_s;
    m_plotter.plotProg(m_scan.totalPhysical - m_scan.availablePhysical, m_scan.availablePhysical,
                       kWhite, m_scan.processName, QString());

    m_plotter.endScan();
}

void ProcessScan::GetProcessNameAndSize(ProcessId pid)
{
    // 1. Open (also for the two special identifiers).
    const std::unique_ptr<ProcessHandle> handle = m_source.openProcess(pid);

    // 2. The idle task and the system have fixed names and no row.
    if (pid == 0) {
        m_scan.processName = u"System Idle Process"_s;
        return;
    }
    if (pid == 2) {
        m_scan.processName = u"System"_s;
        return;
    }

    // 3, 4. Nothing changes for a process that cannot be opened or named.
    if (!handle || !handle->enumModules())
        return;

    // 5. The executable.
    if (const auto workingSet = handle->workingSetSize())
        m_scan.processSize = *workingSet;
    m_scan.processName = bufferText(handle->moduleBaseName());
    const QString fileName = bufferText(handle->moduleFileName());
    m_scan.workDirectory = fileName.size() > m_scan.processName.size()
                               ? fileName.left(fileName.size() - m_scan.processName.size())
                               : QString();

    ProcessGrid &grid = m_hooks.grid();
    if (grid.row() + 1 >= grid.rows())
        grid.setRows(grid.row() + 2);

    if (!m_scan.processName.isEmpty() && !m_scan.workDirectory.isEmpty() &&
        m_scan.processSize > 0) {
        grid.setRow(grid.row() + 1);
        grid.setCol(0);
        grid.setText(QString::number(pid));
        grid.setCol(1);
        grid.setText(m_scan.processName);
        grid.setCol(2);
        grid.setText(sizeText(m_scan.processSize));
        grid.setCol(3);
        grid.setText(m_scan.workDirectory);
    }
    // 7. The handle closes as it goes out of scope.
}

} // namespace plenwick

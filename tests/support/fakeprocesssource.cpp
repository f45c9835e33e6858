#include "fakeprocesssource.h"

#include <algorithm>

namespace plenwick {

using namespace Qt::StringLiterals;

class FakeProcessHandle final : public ProcessHandle {
public:
    FakeProcessHandle(FakeProcessSource &source, const FakeProcess &process)
        : m_source(source), m_process(process)
    {
        ++m_source.m_openHandleCount;
    }

    ~FakeProcessHandle() override
    {
        log(u"close"_s);
        ++m_source.m_closeCount;
        --m_source.m_openHandleCount;
    }

    bool enumModules() override
    {
        log(u"modules"_s);
        return !m_process.modulesFail;
    }

    std::optional<ByteCount> workingSetSize() override
    {
        log(u"workingset"_s);
        if (m_process.memoryFails)
            return std::nullopt;
        return m_process.workingSet;
    }

    std::optional<QString> moduleBaseName() override
    {
        log(u"basename"_s);
        return m_process.baseName;
    }

    std::optional<QString> moduleFileName() override
    {
        log(u"filename"_s);
        return m_process.fileName;
    }

private:
    void log(const QString &call)
    {
        m_source.m_callLog.append(call + u' ' + QString::number(m_process.pid));
    }

    FakeProcessSource &m_source;
    const FakeProcess m_process;
};

std::size_t FakeProcessSource::enumProcesses(std::span<ProcessId> ids)
{
    ++m_enumerationCount;
    m_callLog.append(u"enum"_s);
    if (m_enumerationFails)
        return 0;
    const std::size_t count = std::min(ids.size(), m_processes.size());
    for (std::size_t i = 0; i < count; ++i)
        ids[i] = m_processes[i].pid;
    return count * sizeof(ProcessId);
}

std::unique_ptr<ProcessHandle> FakeProcessSource::openProcess(ProcessId pid)
{
    ++m_openCount;
    m_openedPids.push_back(pid);
    m_callLog.append(u"open "_s + QString::number(pid));
    const FakeProcess *found = process(pid);
    if (!found || found->openFails)
        return nullptr;
    return std::make_unique<FakeProcessHandle>(*this, *found);
}

std::optional<MemoryStatus> FakeProcessSource::memoryStatus()
{
    ++m_memoryStatusCount;
    m_callLog.append(u"memory"_s);
    return m_memory;
}

void FakeProcessSource::addProcess(const FakeProcess &process)
{
    m_processes.push_back(process);
}

void FakeProcessSource::addProcesses(const std::vector<FakeProcess> &processes)
{
    m_processes.insert(m_processes.end(), processes.begin(), processes.end());
}

void FakeProcessSource::removeProcess(ProcessId pid)
{
    std::erase_if(m_processes, [pid](const FakeProcess &p) { return p.pid == pid; });
}

void FakeProcessSource::clearProcesses()
{
    m_processes.clear();
}

FakeProcess *FakeProcessSource::process(ProcessId pid)
{
    const auto it = std::find_if(m_processes.begin(), m_processes.end(),
                                 [pid](const FakeProcess &p) { return p.pid == pid; });
    return it == m_processes.end() ? nullptr : &*it;
}

std::vector<FakeProcess> FakeProcessSource::generatedProcesses(int count, ProcessId firstPid)
{
    std::vector<FakeProcess> processes;
    processes.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        const ProcessId pid = firstPid + static_cast<ProcessId>(i);
        const QString number = QString::number(pid);
        // 1 to 2500 pages, spread by a multiplier prime to the modulus.
        const ByteCount pages = 1 + (ByteCount(pid) * 7919) % 2500;
        processes.push_back({.pid = pid,
                             .baseName = u"proc"_s + number,
                             .fileName = u"/opt/app"_s + number + u"/proc"_s + number,
                             .workingSet = pages * 4096});
    }
    return processes;
}

void FakeProcessSource::addGeneratedProcesses(int count, ProcessId firstPid)
{
    addProcesses(generatedProcesses(count, firstPid));
}

void FakeProcessSource::setMemory(ByteCount totalPhysical, ByteCount availablePhysical)
{
    m_memory = MemoryStatus{totalPhysical, availablePhysical};
}

void FakeProcessSource::resetCounters()
{
    m_enumerationCount = 0;
    m_openCount = 0;
    m_memoryStatusCount = 0;
    m_closeCount = 0;
    m_openedPids.clear();
    m_callLog.clear();
}

} // namespace plenwick

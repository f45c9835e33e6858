#include "fakeprocesssource.h"

#include <algorithm>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

class FakeProcessHandle final : public ProcessHandle {
public:
    explicit FakeProcessHandle(const FakeProcess &process) : m_process(process) {}
    bool enumModules() override { return !m_process.modulesFail; }
    std::optional<ByteCount> workingSetSize() override { return m_process.workingSet; }
    std::optional<QString> moduleBaseName() override { return m_process.baseName; }
    std::optional<QString> moduleFileName() override { return m_process.fileName; }

private:
    const FakeProcess m_process;
};

} // namespace

std::size_t FakeProcessSource::enumProcesses(std::span<ProcessId> ids)
{
    ++m_enumerationCount;
    const std::size_t count = m_enumerationFails ? 0 : std::min(ids.size(), m_processes.size());
    for (std::size_t i = 0; i < count; ++i)
        ids[i] = m_processes[i].pid;
    return count * sizeof(ProcessId);
}

std::unique_ptr<ProcessHandle> FakeProcessSource::openProcess(ProcessId pid)
{
    const auto found = std::ranges::find(m_processes, pid, &FakeProcess::pid);
    if (found == m_processes.end() || found->openFails)
        return nullptr;
    return std::make_unique<FakeProcessHandle>(*found);
}

void FakeProcessSource::addGeneratedProcesses(int count, ProcessId firstPid)
{
    for (int i = 0; i < count; ++i) {
        const ProcessId pid = firstPid + static_cast<ProcessId>(i);
        const QString number = QString::number(pid);
        // 1 to 2500 pages, spread by a multiplier prime to the modulus.
        const ByteCount pages = 1 + (ByteCount(pid) * 7919) % 2500;
        m_processes.push_back({.pid = pid,
                               .baseName = u"proc"_s + number,
                               .fileName = u"/opt/app"_s + number + u"/proc"_s + number,
                               .workingSet = pages * 4096});
    }
}

} // namespace plenwick

#pragma once

#include "platform/os/processsource.h"

#include <optional>
#include <QString>
#include <vector>

namespace plenwick {

// One process as the fake source shows it. A missing name or working set makes that
// query fail; the flags make the earlier steps fail.
struct FakeProcess {
    ProcessId pid = 0;
    std::optional<QString> baseName = std::nullopt;
    std::optional<QString> fileName = std::nullopt;
    std::optional<ByteCount> workingSet = std::nullopt;
    bool openFails = false;   // listed, but openProcess gives no handle
    bool modulesFail = false; // opened, but enumModules fails
};

// A process source for tests:
//
//     FakeProcessSource source;
//     source.setMemory(16LL << 30, 4LL << 30);
//     source.addProcess({.pid = 4, .baseName = u"a"_s, .fileName = u"/usr/bin/a"_s,
//                        .workingSet = 4096});
//
// enumProcesses lists the processes in the order they were added (nothing else, so a
// test that wants identifier 0 adds it). A handle answers from a copy of the process
// taken when it was opened.
class FakeProcessSource : public ProcessSource {
public:
    std::size_t enumProcesses(std::span<ProcessId> ids) override;
    std::unique_ptr<ProcessHandle> openProcess(ProcessId pid) override;
    std::optional<MemoryStatus> memoryStatus() override { return m_memory; }

    void addProcess(const FakeProcess &process) { m_processes.push_back(process); }
    void addProcesses(const std::vector<FakeProcess> &processes)
    {
        m_processes.insert(m_processes.end(), processes.begin(), processes.end());
    }
    void clearProcesses() { m_processes.clear(); }

    // `count` processes with identifiers firstPid, firstPid + 1, ...; the process with
    // identifier N is "procN" in "/opt/appN/" with a working set of a whole number of
    // 4 KiB pages between 4 KiB and about 10 MiB, varying from one process to the next.
    void addGeneratedProcesses(int count, ProcessId firstPid = 100);

    // Makes enumProcesses fail (return 0, filling nothing).
    void setEnumerationFails(bool fails) { m_enumerationFails = fails; }
    // The memory status; nothing (the default) makes memoryStatus fail.
    void setMemory(ByteCount total, ByteCount available) { m_memory = {{total, available}}; }

    // How often the process list was read.
    int enumerationCount() const { return m_enumerationCount; }

private:
    std::vector<FakeProcess> m_processes;
    bool m_enumerationFails = false;
    std::optional<MemoryStatus> m_memory;
    int m_enumerationCount = 0;
};

} // namespace plenwick

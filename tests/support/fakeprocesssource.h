#pragma once

#include "platform/os/processsource.h"

#include <optional>
#include <QString>
#include <QStringList>
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
    bool memoryFails = false; // workingSetSize fails even when a working set is set
};

// A process source for tests:
//
//     FakeProcessSource source;
//     source.setMemory(16LL << 30, 4LL << 30);
//     source.addProcess({.pid = 4, .baseName = u"a"_s, .fileName = u"/usr/bin/a"_s,
//                        .workingSet = 4096});
//
// enumProcesses lists the processes in the order they were added (nothing else, so a
// test that wants identifier 0 adds it). Handles answer from a copy of the process
// taken when it was opened, and must not outlive the source. Every call is counted and
// logged.
class FakeProcessSource : public ProcessSource {
public:
    std::size_t enumProcesses(std::span<ProcessId> ids) override;
    std::unique_ptr<ProcessHandle> openProcess(ProcessId pid) override;
    std::optional<MemoryStatus> memoryStatus() override;

    // --- The processes ---
    void addProcess(const FakeProcess &process);
    void addProcesses(const std::vector<FakeProcess> &processes);
    // Removes the process from the list; it can no longer be opened.
    void removeProcess(ProcessId pid);
    void clearProcesses();
    // The process with this identifier, to change it between scans; null if none.
    FakeProcess *process(ProcessId pid);
    const std::vector<FakeProcess> &processes() const { return m_processes; }

    // `count` processes with identifiers firstPid, firstPid + 1, ...; the process with
    // identifier N is "procN" in "/opt/appN/" (file name "/opt/appN/procN") with a
    // working set of a whole number of 4 KiB pages between 4 KiB and about 10 MiB,
    // varying from one process to the next.
    static std::vector<FakeProcess> generatedProcesses(int count, ProcessId firstPid = 100);
    void addGeneratedProcesses(int count, ProcessId firstPid = 100);

    // --- Failures and memory ---
    // Makes enumProcesses fail (return 0, filling nothing).
    void setEnumerationFails(bool fails) { m_enumerationFails = fails; }
    // The memory status; nothing (the default) makes memoryStatus fail.
    void setMemory(ByteCount totalPhysical, ByteCount availablePhysical);
    void setMemoryStatus(std::optional<MemoryStatus> status) { m_memory = status; }

    // --- What was called ---
    int enumerationCount() const { return m_enumerationCount; }
    int openCount() const { return m_openCount; }
    int memoryStatusCount() const { return m_memoryStatusCount; }
    // Handles destroyed so far; equal to the successful opens once the caller closed all.
    int closeCount() const { return m_closeCount; }
    // Handles opened and not yet destroyed.
    int openHandleCount() const { return m_openHandleCount; }
    // The identifiers passed to openProcess, in call order (failed opens included).
    const std::vector<ProcessId> &openedPids() const { return m_openedPids; }
    // Every call in order, one line each: "enum", "memory", "open 4", "modules 4",
    // "workingset 4", "basename 4", "filename 4", "close 4".
    const QStringList &callLog() const { return m_callLog; }
    // Zeroes the counters (all but openHandleCount, which counts live handles) and
    // clears the log; the processes and settings stay.
    void resetCounters();

private:
    friend class FakeProcessHandle;

    std::vector<FakeProcess> m_processes;
    bool m_enumerationFails = false;
    std::optional<MemoryStatus> m_memory;

    int m_enumerationCount = 0;
    int m_openCount = 0;
    int m_memoryStatusCount = 0;
    int m_closeCount = 0;
    int m_openHandleCount = 0;
    std::vector<ProcessId> m_openedPids;
    QStringList m_callLog;
};

} // namespace plenwick

#pragma once

#include "platform/os/processsource.h"
#include "scansnapshot.h"

#include <array>

namespace plenwick {

// The process scan: turns the running processes into a snapshot for the chart and
// the table. What it keeps from one scan to the next is what the next one builds on:
// the sum of the process slices (the operating system's slice is the used memory
// less that sum) and the last name and directory it saw, which a process whose
// queries fail keeps.
class ProcessScan {
public:
    // The identifiers one scan can see.
    static constexpr std::size_t kPidListSize = 1024;

    explicit ProcessScan(ProcessSource &source) : m_source(source) {}

    // Runs one scan, with the memory status that the last memory tick read.
    ScanSnapshot cmdGet_Click(ByteCount totalPhysical, ByteCount availablePhysical);

private:
    // The per-process step: the process's names and size into the running values, and
    // its row into the snapshot when the result is complete.
    void GetProcessNameAndSize(ProcessId pid, ScanSnapshot &snapshot);

    ProcessSource &m_source;
    std::array<ProcessId, kPidListSize> m_pidList{};
    // Kept between scans.
    ByteCount m_processTotal = 0;
    QString m_processName;
    QString m_workDirectory;
    // Within one scan: the size of the process being handled.
    ByteCount m_processSize = 0;
};

} // namespace plenwick

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <QString>
#include <span>

namespace plenwick {

// Byte counts are 64-bit signed everywhere in the program.
using ByteCount = std::int64_t;
using ProcessId = std::uint32_t;

// Total and available physical memory, in bytes.
struct MemoryStatus {
    ByteCount totalPhysical = 0;
    ByteCount availablePhysical = 0;
};

// An opened process. It carries whatever was read while opening it, so that the
// queries below cost no further system calls than needed. Destroying it closes it.
class ProcessHandle {
public:
    virtual ~ProcessHandle() = default;

    // True when the process's executable (its first module) can be named. For an
    // ordinary user this fails on other users' processes; kernel threads have none.
    virtual bool enumModules() = 0;
    // The working set (resident memory) in bytes, or nothing when it cannot be read.
    virtual std::optional<ByteCount> workingSetSize() = 0;
    // The executable's file name without its directory, or nothing when unreadable.
    virtual std::optional<QString> moduleBaseName() = 0;
    // The executable's full file name, as the system gives it.
    virtual std::optional<QString> moduleFileName() = 0;
};

// The operating system's process and memory queries. All calls come from the
// event loop, one at a time. Texts it returns are display-safe (see systemtext.h).
class ProcessSource {
public:
    virtual ~ProcessSource() = default;

    // Fills `ids` in the platform's order with as many identifiers as fit and
    // returns the number of bytes filled (4 per identifier), or 0 on failure.
    virtual std::size_t enumProcesses(std::span<ProcessId> ids) = 0;
    // Opens a process for querying; null when it cannot be opened.
    virtual std::unique_ptr<ProcessHandle> openProcess(ProcessId pid) = 0;
    // Reads the memory status; nothing when the system cannot tell.
    virtual std::optional<MemoryStatus> memoryStatus() = 0;
};

} // namespace plenwick

#pragma once

#include "processsource.h"

#include <array>
#include <QByteArray>
#include <QString>
#include <vector>

namespace plenwick {

// Processes and memory as the Linux proc file system shows them: the numeric entries
// of the proc root are the processes, <pid>/exe names the executable, <pid>/statm
// gives the resident pages and meminfo the physical memory.
//
// The scan runs for every process on every refresh, so each query costs as few
// system calls as it can: one descriptor of the proc root is held for the source's
// lifetime and every path is opened relative to it; opening a process reads its exe
// link (one readlinkat), and its working set reads statm once, whichever order the
// handle's queries come in. Handles must not outlive the source that opened them.
//
// The program reads the real /proc. Tests build a tree of their own and pass its path;
// nothing else (no environment variable) moves the root. Files are read only when
// they are regular files, and never wait on a FIFO or a device.
class LinuxProcessSource : public ProcessSource {
public:
    explicit LinuxProcessSource(const QString &procRoot = QStringLiteral("/proc"));
    ~LinuxProcessSource() override;
    LinuxProcessSource(const LinuxProcessSource &) = delete;
    LinuxProcessSource &operator=(const LinuxProcessSource &) = delete;

    // Identifier 0 (the idle task, which the proc root does not list) first, then the
    // processes in ascending order, as many as fit.
    std::size_t enumProcesses(std::span<ProcessId> ids) override;
    // Succeeds while <root>/<pid> exists.
    std::unique_ptr<ProcessHandle> openProcess(ProcessId pid) override;
    // MemTotal and MemAvailable of <root>/meminfo.
    std::optional<MemoryStatus> memoryStatus() override;

private:
    friend class LinuxProcessHandle;

    bool ensureRoot();
    std::optional<ByteCount> readWorkingSet(ProcessId pid);

    QByteArray m_rootPath;
    int m_rootFd = -1;
    ByteCount m_pageSize = 4096;
    std::vector<char> m_listing;     // getdents64 records of the proc root
    std::vector<ProcessId> m_found;  // the identifiers of one listing, sorted
    std::array<char, 4096> m_link{}; // one exe link target
};

} // namespace plenwick

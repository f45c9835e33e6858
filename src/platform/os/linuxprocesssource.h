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
// On the kernel's proc file system, each listed process's statm and, once it has been
// read, its exe link are kept open from one scan to the next: the working set is read
// again from the start of the open statm (one read instead of an open, a read and a
// close) and the link is read through its open descriptor (no name to look up, where a
// read by path looks up two). What is read is the process's state at that moment,
// as by a fresh open. The descriptors belong to the process, not to its number: once
// the process has ended they read nothing, and the number is opened anew for whichever
// process holds it now. A process that leaves the listing has its descriptors closed;
// at most as many are kept as the open-files limit leaves room for.
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
    struct KeptFiles {
        ProcessId pid;
        int statm = -1; // -1 while none is open
        int exe = -1;   // the link itself, opened as a path only
    };
    // The descriptors kept for a listed process, or null when the process is not in
    // the last listing or nothing is kept.
    KeptFiles *keptFiles(ProcessId pid);
    void keepListed(std::span<const ProcessId> listed);
    // Keeps a descriptor in `slot` while there is room, or else closes it.
    void keep(int &slot, int fd);
    void dropKept(int &slot);
    void dropKept(KeptFiles &files);

    QByteArray m_rootPath;
    int m_rootFd = -1;
    ByteCount m_pageSize = 4096;
    std::vector<char> m_listing;        // getdents64 records of the proc root
    std::vector<ProcessId> m_found;     // the identifiers of one listing, sorted
    std::array<char, 4096> m_link{};    // one exe link target
    bool m_procfs = false;              // the root is the kernel's proc file system
    std::vector<KeptFiles> m_keptFiles; // by ascending identifier: the last listing's
    std::vector<KeptFiles> m_relisted;  // the next listing's, while it is made
    std::size_t m_keepLimit = 0;        // at most this many descriptors open at once
    std::size_t m_kept = 0;             // open now
};

} // namespace plenwick

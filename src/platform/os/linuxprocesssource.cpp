#include "linuxprocesssource.h"

#include "systemtext.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <linux/magic.h>
#include <QFile>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace plenwick {

namespace {

constexpr std::size_t ListingBufferSize = 32 * 1024;

// "<pid>" followed by a leaf such as "/exe", NUL-terminated, relative to the proc root.
class PidPath {
public:
    PidPath(ProcessId pid, std::string_view leaf)
    {
        const auto result = std::to_chars(m_text, m_text + 10, pid);
        m_pidLength = static_cast<std::size_t>(result.ptr - m_text);
        std::memcpy(m_text + m_pidLength, leaf.data(), leaf.size());
        m_text[m_pidLength + leaf.size()] = '\0';
    }
    const char *path() const { return m_text; }
    // Cuts the leaf off, leaving the path of the process's own directory.
    void dropLeaf() { m_text[m_pidLength] = '\0'; }

private:
    char m_text[32];
    std::size_t m_pidLength = 0;
};

// A decimal number of digits only: no sign, no blanks, no overflow.
template <typename Number> bool parseNumber(std::string_view text, Number &value)
{
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// A process directory's name: the canonical decimal form of a 32-bit identifier.
// Identifier 0 is reported on its own and never read from the listing.
bool parseProcessDirectory(const char *name, ProcessId &pid)
{
    const std::string_view text(name);
    if (text.empty() || text.size() > 10 || text.front() < '1' || text.front() > '9')
        return false;
    return parseNumber(text, pid);
}

// Opens a file of the proc tree for reading, relative to its root. Only a regular file
// is read: a FIFO or a device in its place is refused without waiting, as the open does
// not block on it and the read never comes. The kernel's own proc files are regular
// and need no look.
int openRegularFile(int rootFd, const char *path, bool procfs)
{
    const int fd = ::openat(rootFd, path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0 || procfs)
        return fd;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What the kernel appends to the exe link of a process whose executable was removed.
constexpr std::string_view DeletedSuffix = " (deleted)";
constexpr char16_t BlankStandIn = 0x2420; // SYMBOL FOR SPACE

// The executable's path as it is shown. Blanks at its end are shown as stand-ins: the
// name is otherwise cut at its trailing blanks, and a name of blanks only would leave
// the process without a row or slice, hidden from the chart. A path ending in
// " (deleted)" shows that blank as a stand-in too, unless the kernel says the file is
// gone, so that no live file can pass for a removed one by its name.
QString shownExecutable(QByteArrayView link, bool removed)
{
    if (removed)
        link.chop(qsizetype(DeletedSuffix.size()));
    QString path = visibleText(textFromSystemBytes(link));
    for (qsizetype i = path.size(); i > 0 && path.at(i - 1) == u' '; --i)
        path[i - 1] = QChar(BlankStandIn);
    const QLatin1StringView suffix(DeletedSuffix.data(), qsizetype(DeletedSuffix.size()));
    if (path.endsWith(suffix))
        path[path.size() - suffix.size()] = QChar(BlankStandIn);
    if (removed)
        path += suffix;
    return path;
}

// How many statm descriptors to keep open between scans. The usual soft limit of 1024
// open files is a leftover of select(), which nothing in the program uses: it is
// raised as far as the hard limit allows, to 4096, and a reserve stays free for the
// display connection, fonts, the settings file and the rest.
std::size_t descriptorsToKeep()
{
    constexpr rlim_t Wanted = 4096, Reserve = 512;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < Wanted) {
        rlimit raised = limit;
        raised.rlim_cur =
            limit.rlim_max == RLIM_INFINITY ? Wanted : std::min(limit.rlim_max, Wanted);
        if (raised.rlim_cur > limit.rlim_cur && ::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY)
        return Wanted;
    return limit.rlim_cur > Reserve ? std::size_t(limit.rlim_cur - Reserve) : 0;
}

ssize_t readAll(int fd, char *buffer, std::size_t size)
{
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t n = ::read(fd, buffer + filled, size - filled);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(filled);
}

// The resident pages of a statm line: "size resident shared text lib data dt\n", seven
// numbers. Anything else (a short read, a missing field, a stray character) is nothing.
std::optional<std::uint64_t> residentPages(std::string_view line)
{
    if (line.empty() || line.back() != '\n')
        return std::nullopt;
    line.remove_suffix(1);
    constexpr int FieldCount = 7;
    std::uint64_t resident = 0;
    for (int field = 0; field < FieldCount; ++field) {
        const std::size_t end = field + 1 < FieldCount ? line.find(' ') : line.size();
        if (end == std::string_view::npos)
            return std::nullopt;
        std::uint64_t value = 0;
        if (!parseNumber(line.substr(0, end), value))
            return std::nullopt;
        if (field == 1)
            resident = value;
        line.remove_prefix(field + 1 < FieldCount ? end + 1 : end);
    }
    return resident;
}

// One "Key:   12345 kB" line of meminfo, the value in bytes.
std::optional<ByteCount> meminfoBytes(std::string_view rest)
{
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos)
        return std::nullopt;
    rest.remove_prefix(start);
    constexpr std::string_view Unit = " kB";
    if (rest.size() <= Unit.size() || rest.substr(rest.size() - Unit.size()) != Unit)
        return std::nullopt;
    rest.remove_suffix(Unit.size());
    ByteCount kilobytes = 0;
    if (!parseNumber(rest, kilobytes) || kilobytes > std::numeric_limits<ByteCount>::max() / 1024)
        return std::nullopt;
    return kilobytes * 1024;
}

} // namespace

class LinuxProcessHandle final : public ProcessHandle {
public:
    LinuxProcessHandle(LinuxProcessSource &source, ProcessId pid, std::optional<QString> fileName)
        : m_source(source), m_pid(pid), m_fileName(std::move(fileName))
    {}

    bool enumModules() override { return m_fileName.has_value(); }

    std::optional<ByteCount> workingSetSize() override
    {
        if (!m_workingSetRead) {
            m_workingSet = m_source.readWorkingSet(m_pid);
            m_workingSetRead = true;
        }
        return m_workingSet;
    }

    std::optional<QString> moduleBaseName() override
    {
        if (!m_fileName)
            return std::nullopt;
        // The file name is a suffix of the full name, so that the directory is the
        // full name less as many characters as the base name has.
        return m_fileName->sliced(m_fileName->lastIndexOf(u'/') + 1);
    }

    std::optional<QString> moduleFileName() override { return m_fileName; }

private:
    LinuxProcessSource &m_source;
    ProcessId m_pid;
    std::optional<QString> m_fileName; // nothing when the exe link could not be read
    std::optional<ByteCount> m_workingSet;
    bool m_workingSetRead = false;
};

LinuxProcessSource::LinuxProcessSource(const QString &procRoot)
    : m_rootPath(QFile::encodeName(procRoot)), m_listing(ListingBufferSize)
{
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pageSize > 0)
        m_pageSize = pageSize;
    struct statfs fileSystem {};
    m_procfs = ensureRoot() && ::fstatfs(m_rootFd, &fileSystem) == 0 &&
               fileSystem.f_type == PROC_SUPER_MAGIC;
    if (m_procfs)
        m_keepLimit = descriptorsToKeep();
}

LinuxProcessSource::~LinuxProcessSource()
{
    for (KeptFiles &kept : m_keptFiles)
        dropKept(kept);
    if (m_rootFd >= 0)
        ::close(m_rootFd);
}

bool LinuxProcessSource::ensureRoot()
{
    if (m_rootFd < 0)
        m_rootFd = ::open(m_rootPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return m_rootFd >= 0;
}

std::size_t LinuxProcessSource::enumProcesses(std::span<ProcessId> ids)
{
    if (ids.empty() || !ensureRoot() || ::lseek(m_rootFd, 0, SEEK_SET) < 0)
        return 0;

    m_found.clear();
    constexpr std::size_t ReclenOffset = offsetof(dirent64, d_reclen);
    constexpr std::size_t NameOffset = offsetof(dirent64, d_name);
    for (;;) {
        const ssize_t filled = ::getdents64(m_rootFd, m_listing.data(), m_listing.size());
        if (filled < 0) {
            if (errno == EINTR)
                continue;
            return 0;
        }
        if (filled == 0)
            break;
        std::size_t offset = 0;
        while (offset + NameOffset < static_cast<std::size_t>(filled)) {
            unsigned short recordLength = 0;
            std::memcpy(&recordLength, m_listing.data() + offset + ReclenOffset,
                        sizeof recordLength);
            if (recordLength == 0)
                break;
            ProcessId pid = 0;
            if (parseProcessDirectory(m_listing.data() + offset + NameOffset, pid))
                m_found.push_back(pid);
            offset += recordLength;
        }
    }
    if (!std::is_sorted(m_found.begin(), m_found.end()))
        std::sort(m_found.begin(), m_found.end());

    ids[0] = 0;
    const std::size_t count = std::min(m_found.size(), ids.size() - 1);
    std::copy_n(m_found.begin(), count, ids.begin() + 1);
    if (m_keepLimit > 0)
        keepListed(std::span<const ProcessId>(m_found).first(count));
    return (count + 1) * sizeof(ProcessId);
}

// Carries the descriptors of processes still listed over to the new listing and closes
// the others'. Both lists ascend, so one walk matches them.
void LinuxProcessSource::keepListed(std::span<const ProcessId> listed)
{
    m_relisted.clear();
    m_relisted.reserve(listed.size());
    auto kept = m_keptFiles.begin();
    for (const ProcessId pid : listed) {
        for (; kept != m_keptFiles.end() && kept->pid < pid; ++kept)
            dropKept(*kept);
        if (kept != m_keptFiles.end() && kept->pid == pid)
            m_relisted.push_back(*kept++);
        else
            m_relisted.push_back({pid});
    }
    for (; kept != m_keptFiles.end(); ++kept)
        dropKept(*kept);
    m_keptFiles.swap(m_relisted);
}

LinuxProcessSource::KeptFiles *LinuxProcessSource::keptFiles(ProcessId pid)
{
    const auto kept = std::lower_bound(m_keptFiles.begin(), m_keptFiles.end(), pid,
                                       [](const KeptFiles &k, ProcessId p) { return k.pid < p; });
    return kept != m_keptFiles.end() && kept->pid == pid ? &*kept : nullptr;
}

void LinuxProcessSource::keep(int &slot, int fd)
{
    if (m_kept < m_keepLimit) {
        slot = fd;
        ++m_kept;
    } else {
        ::close(fd);
    }
}

void LinuxProcessSource::dropKept(int &slot)
{
    if (slot < 0)
        return;
    ::close(slot);
    slot = -1;
    --m_kept;
}

void LinuxProcessSource::dropKept(KeptFiles &files)
{
    dropKept(files.statm);
    dropKept(files.exe);
}

std::unique_ptr<ProcessHandle> LinuxProcessSource::openProcess(ProcessId pid)
{
    if (!ensureRoot())
        return nullptr;
    PidPath path(pid, "/exe");
    // The link is read through the process's kept descriptor of it where there is one:
    // an empty name reads the link the descriptor stands for, with no name to look up.
    KeptFiles *kept = keptFiles(pid);
    int at = m_rootFd;
    const char *name = path.path();
    if (kept && kept->exe >= 0) {
        at = kept->exe;
        name = "";
    }
    ssize_t length = ::readlinkat(at, name, m_link.data(), m_link.size());
    if (length < 0 && at != m_rootFd) {
        // The process the link was opened for may have ended, and the number be
        // another's now: ask by the number.
        dropKept(kept->exe);
        at = m_rootFd;
        name = path.path();
        length = ::readlinkat(at, name, m_link.data(), m_link.size());
    }
    const char *target = m_link.data();
    std::vector<char> longTarget;
    // readlink cuts a target that does not fit without saying so; read it again into
    // a buffer that is large enough.
    while (length >= 0 && static_cast<std::size_t>(length) ==
                              (longTarget.empty() ? m_link.size() : longTarget.size())) {
        longTarget.resize(static_cast<std::size_t>(length) * 2);
        length = ::readlinkat(at, name, longTarget.data(), longTarget.size());
        target = longTarget.data();
    }
    if (length >= 0 && kept && kept->exe < 0) {
        // The link itself, not the file it names.
        if (const int fd = ::openat(m_rootFd, path.path(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
            fd >= 0)
            keep(kept->exe, fd);
    }
    if (length >= 0) {
        const QByteArrayView link(target, length);
        // An executable that is gone has no links left; a live one may be named
        // "x (deleted)" all the same.
        bool removed = false;
        if (link.endsWith(QByteArrayView(DeletedSuffix.data(), qsizetype(DeletedSuffix.size())))) {
            struct stat status {};
            removed = ::fstatat(m_rootFd, path.path(), &status, 0) == 0 && status.st_nlink == 0;
        }
        return std::make_unique<LinuxProcessHandle>(*this, pid, shownExecutable(link, removed));
    }
    // No name. Permission denied (another user's process) or an exe that is no link
    // still means the directory is there. Otherwise the exe may be missing (a kernel
    // thread, a zombie) or the whole process gone: look at its directory.
    const int error = errno;
    if (error != EACCES && error != EINVAL) {
        path.dropLeaf();
        struct stat status {};
        if (::fstatat(m_rootFd, path.path(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return nullptr;
    }
    return std::make_unique<LinuxProcessHandle>(*this, pid, std::nullopt);
}

std::optional<ByteCount> LinuxProcessSource::readWorkingSet(ProcessId pid)
{
    if (m_rootFd < 0)
        return std::nullopt;
    // statm is one short line, which the kernel gives in a single read from its start;
    // a line that does not end in a newline within the buffer is cut short and is
    // refused.
    char line[256];
    const auto readLine = [&line](int fd) {
        ssize_t n;
        do {
            n = ::pread(fd, line, sizeof line, 0);
        } while (n < 0 && errno == EINTR);
        return n;
    };
    ssize_t length = -1;
    KeptFiles *kept = keptFiles(pid);
    if (kept && kept->statm >= 0) {
        length = readLine(kept->statm);
        // Nothing read: the process it was opened for has ended, and the number may
        // be another's now.
        if (length < 0)
            dropKept(kept->statm);
    }
    if (length < 0) {
        const PidPath path(pid, "/statm");
        const int fd = openRegularFile(m_rootFd, path.path(), m_procfs);
        if (fd < 0)
            return std::nullopt;
        length = readLine(fd);
        if (kept && length >= 0)
            keep(kept->statm, fd);
        else
            ::close(fd);
    }
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof line)
        return std::nullopt;
    const auto pages = residentPages(std::string_view(line, static_cast<std::size_t>(length)));
    if (!pages ||
        *pages > static_cast<std::uint64_t>(std::numeric_limits<ByteCount>::max() / m_pageSize))
        return std::nullopt;
    return static_cast<ByteCount>(*pages) * m_pageSize;
}

std::optional<MemoryStatus> LinuxProcessSource::memoryStatus()
{
    if (!ensureRoot())
        return std::nullopt;
    const int fd = openRegularFile(m_rootFd, "meminfo", m_procfs);
    if (fd < 0)
        return std::nullopt;
    char buffer[16 * 1024];
    const ssize_t length = readAll(fd, buffer, sizeof buffer);
    ::close(fd);
    if (length <= 0)
        return std::nullopt;

    std::string_view text(buffer, static_cast<std::size_t>(length));
    // A last line cut off by the end of the buffer is not read.
    if (static_cast<std::size_t>(length) == sizeof buffer)
        text = text.substr(0, text.rfind('\n') + 1);

    std::optional<ByteCount> total, available, memFree, buffers, cached;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));

        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, colon);
        std::optional<ByteCount> *slot = key == "MemTotal"       ? &total
                                         : key == "MemAvailable" ? &available
                                         : key == "MemFree"      ? &memFree
                                         : key == "Buffers"      ? &buffers
                                         : key == "Cached"       ? &cached
                                                                 : nullptr;
        if (slot)
            *slot = meminfoBytes(line.substr(colon + 1));
    }
    if (!total)
        return std::nullopt;
    if (!available) {
        // Kernels before 3.14 have no MemAvailable: count free memory and the buffers
        // and page cache that the kernel gives back on demand.
        // Each term is below 2^54, so the sum cannot overflow.
        available = memFree.value_or(0) + buffers.value_or(0) + cached.value_or(0);
    }
    return MemoryStatus{*total, std::clamp<ByteCount>(*available, 0, *total)};
}

} // namespace plenwick

#pragma once

// The floor of any memory monitor's refresh: the facts the process scan reads, read as
// plainly as they can be: /proc/meminfo once, then for each numeric entry of /proc (the
// idle task counted as the first) the link <pid>/exe and the file <pid>/statm. Nothing
// is drawn or kept. Used by procreader (beside the program and top in cost.sh) and by
// bench_processsource (beside the platform's process source).
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace plenwick::bench {

class BareProcReader {
public:
    struct Snapshot {
        std::size_t identifiers = 0; // the idle task included
        unsigned long long sum = 0;  // of what was read, so that nothing is optimised away
    };

    // One snapshot of at most `maxIdentifiers` identifiers.
    Snapshot read(std::size_t maxIdentifiers)
    {
        Snapshot s;
        if (const int fd = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC); fd >= 0) {
            const ssize_t n = ::read(fd, m_meminfo, sizeof m_meminfo - 1);
            ::close(fd);
            m_meminfo[n > 0 ? n : 0] = '\0';
            s.sum += kilobytes("MemTotal:") + kilobytes("MemAvailable:");
        }
        s.identifiers = 1; // the idle task
        DIR *dir = ::opendir("/proc");
        while (const dirent *entry =
                   dir && s.identifiers < maxIdentifiers ? ::readdir(dir) : nullptr) {
            const char *name = entry->d_name;
            const std::size_t length = std::strlen(name);
            if (name[0] < '1' || name[0] > '9' || std::strspn(name, "0123456789") != length)
                continue;
            ++s.identifiers;
            std::memcpy(m_path + kPrefix, name, length);
            std::memcpy(m_path + kPrefix + length, "/exe", 5);
            const ssize_t linkLength = ::readlink(m_path, m_link, sizeof m_link);
            if (linkLength > 0)
                s.sum += static_cast<unsigned long long>(linkLength);
            std::memcpy(m_path + kPrefix + length, "/statm", 7);
            if (const int fd = ::open(m_path, O_RDONLY | O_CLOEXEC); fd >= 0) {
                const ssize_t n = ::read(fd, m_statm, sizeof m_statm - 1);
                ::close(fd);
                if (n > 0) {
                    m_statm[n] = '\0';
                    if (const char *resident = std::strchr(m_statm, ' '))
                        s.sum += std::strtoull(resident + 1, nullptr, 10) * 4096;
                }
            }
        }
        if (dir)
            ::closedir(dir);
        return s;
    }

private:
    unsigned long long kilobytes(const char *key) const
    {
        const char *line = std::strstr(m_meminfo, key);
        return line ? std::strtoull(line + std::strlen(key), nullptr, 10) : 0;
    }

    static constexpr std::size_t kPrefix = 6; // "/proc/"
    char m_path[64] = "/proc/";
    char m_link[4096];
    char m_statm[256];
    char m_meminfo[16384];
};

} // namespace plenwick::bench

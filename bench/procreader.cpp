// The least that any memory monitor has to do per refresh, as a program of its own:
// cost.sh runs it beside Plenwick and top and compares their CPU time per refresh.
//
//   procreader [interval-ms [snapshots]]      (1000 ms, until killed)
//
// Each snapshot reads the facts the process scan reads, as plainly as they can be
// read: /proc/meminfo once, then for each numeric entry of /proc (the idle task
// counted as the first, at most 1024 identifiers as the scan takes them) the link
// <pid>/exe and the file <pid>/statm. Nothing is drawn or kept.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kMaxIdentifiers = 1024;
constexpr std::size_t kPrefix = 6; // "/proc/"

char g_path[64] = "/proc/";
char g_link[4096];
char g_statm[256];
char g_meminfo[16384];

long long meminfoKilobytes(const char *text, const char *key)
{
    const char *line = std::strstr(text, key);
    return line ? std::strtoll(line + std::strlen(key), nullptr, 10) : -1;
}

// One snapshot; returns a sum of what was read so that nothing is optimised away.
unsigned long long snapshot()
{
    unsigned long long sum = 0;
    if (const int fd = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC); fd >= 0) {
        const ssize_t n = ::read(fd, g_meminfo, sizeof g_meminfo - 1);
        ::close(fd);
        g_meminfo[n > 0 ? n : 0] = '\0';
        sum += static_cast<unsigned long long>(meminfoKilobytes(g_meminfo, "MemTotal:"));
        sum += static_cast<unsigned long long>(meminfoKilobytes(g_meminfo, "MemAvailable:"));
    }
    int identifiers = 1; // the idle task
    DIR *dir = ::opendir("/proc");
    while (const dirent *entry = dir && identifiers < kMaxIdentifiers ? ::readdir(dir) : nullptr) {
        const char *name = entry->d_name;
        const std::size_t length = std::strlen(name);
        if (name[0] < '1' || name[0] > '9' || std::strspn(name, "0123456789") != length)
            continue;
        ++identifiers;
        std::memcpy(g_path + kPrefix, name, length);
        std::memcpy(g_path + kPrefix + length, "/exe", 5);
        const ssize_t linkLength = ::readlink(g_path, g_link, sizeof g_link);
        if (linkLength > 0)
            sum += static_cast<unsigned long long>(linkLength);
        std::memcpy(g_path + kPrefix + length, "/statm", 7);
        if (const int fd = ::open(g_path, O_RDONLY | O_CLOEXEC); fd >= 0) {
            const ssize_t n = ::read(fd, g_statm, sizeof g_statm - 1);
            ::close(fd);
            if (n > 0) {
                g_statm[n] = '\0';
                if (const char *resident = std::strchr(g_statm, ' '))
                    sum += std::strtoull(resident + 1, nullptr, 10) * 4096;
            }
        }
    }
    if (dir)
        ::closedir(dir);
    return sum;
}

} // namespace

int main(int argc, char **argv)
{
    const long interval = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
    const long count = argc > 2 ? std::strtol(argv[2], nullptr, 10) : -1;
    if (interval < 0 || argc > 3) {
        std::fprintf(stderr, "usage: procreader [interval-ms [snapshots]]\n");
        return 2;
    }
    volatile unsigned long long sink = 0;
    for (long i = 0; count < 0 || i < count; ++i) {
        sink = sink + snapshot();
        timespec pause{interval / 1000, (interval % 1000) * 1000000};
        while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }
    return 0;
}

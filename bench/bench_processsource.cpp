// The cost of one snapshot of the running system as the process scan takes it, beside
// the least that any reader of the proc file system has to do for the same facts.
//
//   PlatformSnapshot: LinuxProcessSource on /proc, the memory status once, the process
//     list, and for each process: open, enumModules, workingSetSize, moduleBaseName,
//     moduleFileName, close.
//   ReferenceReader: the floor, written as plainly as it can be: opendir /proc, for each
//     numeric entry readlink <pid>/exe and open/read/close <pid>/statm, meminfo once.
//
// After the runs it prints the ratios of the two medians (real time, and CPU time, which
// counts the time spent in the kernel and is steadier on a busy machine); the snapshot
// should stay within 1.25 times the floor. Run it on an otherwise idle machine, for example
//   bench_processsource --benchmark_min_time=0.5

#include "platform/linuxprocesssource.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

using namespace plenwick;

namespace {

void setProcessCounters(benchmark::State &state, std::size_t processes)
{
    state.counters["processes"] = double(processes);
    // Seconds per process (shown scaled, e.g. "10.5us").
    state.counters["per_process"] =
        benchmark::Counter(double(processes), benchmark::Counter::kIsIterationInvariantRate |
                                                  benchmark::Counter::kInvert);
}

void PlatformSnapshot(benchmark::State &state)
{
    LinuxProcessSource source;
    std::vector<ProcessId> ids(1024);
    std::size_t processes = 0;
    for (auto _ : state) {
        const std::optional<MemoryStatus> memory = source.memoryStatus();
        const std::size_t count = source.enumProcesses(ids) / sizeof(ProcessId);
        ByteCount sizes = 0;
        qsizetype characters = 0;
        int named = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::unique_ptr<ProcessHandle> handle = source.openProcess(ids[i]);
            if (!handle)
                continue;
            named += handle->enumModules() ? 1 : 0;
            if (const std::optional<ByteCount> size = handle->workingSetSize())
                sizes += *size;
            if (const std::optional<QString> name = handle->moduleBaseName())
                characters += name->size();
            if (const std::optional<QString> name = handle->moduleFileName())
                characters += name->size();
        }
        benchmark::DoNotOptimize(memory);
        benchmark::DoNotOptimize(sizes);
        benchmark::DoNotOptimize(characters);
        benchmark::DoNotOptimize(named);
        processes = count;
    }
    setProcessCounters(state, processes);
}

long long meminfoKilobytes(const char *text, const char *key)
{
    const char *line = std::strstr(text, key);
    return line ? std::strtoll(line + std::strlen(key), nullptr, 10) : -1;
}

void ReferenceReader(benchmark::State &state)
{
    char link[4096];
    char statm[256];
    char meminfo[16384];
    char path[64] = "/proc/";
    constexpr std::size_t Prefix = 6; // "/proc/"
    std::size_t processes = 0;
    for (auto _ : state) {
        long long total = -1;
        long long available = -1;
        if (const int fd = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC); fd >= 0) {
            const ssize_t n = ::read(fd, meminfo, sizeof meminfo - 1);
            ::close(fd);
            meminfo[n > 0 ? n : 0] = '\0';
            total = meminfoKilobytes(meminfo, "MemTotal:");
            available = meminfoKilobytes(meminfo, "MemAvailable:");
        }

        std::size_t count = 1; // the idle task, as the platform counts it
        unsigned long long sizes = 0;
        std::size_t characters = 0;
        DIR *dir = ::opendir("/proc");
        while (const dirent *entry = dir ? ::readdir(dir) : nullptr) {
            const char *name = entry->d_name;
            if (name[0] < '1' || name[0] > '9')
                continue;
            const std::size_t length = std::strlen(name);
            if (std::strspn(name, "0123456789") != length)
                continue;
            ++count;
            std::memcpy(path + Prefix, name, length);

            std::memcpy(path + Prefix + length, "/exe", 5);
            const ssize_t linkLength = ::readlink(path, link, sizeof link);
            if (linkLength > 0)
                characters += std::size_t(linkLength);

            std::memcpy(path + Prefix + length, "/statm", 7);
            if (const int fd = ::open(path, O_RDONLY | O_CLOEXEC); fd >= 0) {
                const ssize_t n = ::read(fd, statm, sizeof statm - 1);
                ::close(fd);
                if (n > 0) {
                    statm[n] = '\0';
                    const char *resident = std::strchr(statm, ' ');
                    if (resident)
                        sizes += std::strtoull(resident + 1, nullptr, 10) * 4096;
                }
            }
        }
        if (dir)
            ::closedir(dir);
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(available);
        benchmark::DoNotOptimize(sizes);
        benchmark::DoNotOptimize(characters);
        processes = count;
    }
    setProcessCounters(state, processes);
}

BENCHMARK(PlatformSnapshot)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(ReferenceReader)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

// The console output, and the medians kept aside for the ratio.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.aggregate_name == "median") {
                realTime[run.run_name.function_name] = run.GetAdjustedRealTime();
                cpuTime[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "median <what> PlatformSnapshot / ReferenceReader: <ratio>".
    static void printRatio(const char *what, const std::map<std::string, double> &medians)
    {
        const auto snapshot = medians.find("PlatformSnapshot");
        const auto reference = medians.find("ReferenceReader");
        if (snapshot != medians.end() && reference != medians.end() && reference->second > 0) {
            std::printf("median %s PlatformSnapshot / ReferenceReader: %.3f (target at most "
                        "1.25)\n",
                        what, snapshot->second / reference->second);
        }
    }

    std::map<std::string, double> realTime;
    std::map<std::string, double> cpuTime;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n");
    MedianReporter::printRatio("real time", reporter.realTime);
    MedianReporter::printRatio("CPU time", reporter.cpuTime);
    return 0;
}

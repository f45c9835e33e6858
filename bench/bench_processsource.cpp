// The cost of one snapshot of the running system as the process scan takes it, beside
// the least that any reader of the proc file system has to do for the same facts.
//
//   PlatformSnapshot: LinuxProcessSource on /proc, the memory status once, the process
//     list, and for each process: open, enumModules, workingSetSize, moduleBaseName,
//     moduleFileName, close.
//   ScanOrderSnapshot: the same, stopping where the scan stops (no handle, or no name),
//     for what a refresh really costs.
//   Reference: the floor, written as plainly as it can be: opendir /proc, for each
//     numeric entry readlink <pid>/exe and open/read/close <pid>/statm, meminfo once.
//   PairedRatio: PlatformSnapshot and Reference in turns, each right after the other,
//     so that both see the same processes and the same load; its counters are the
//     ratios of their real and CPU (user + kernel) times per process.
//
// After the runs it prints the medians per process and the median paired ratio; the
// snapshot should stay within 1.25 times the floor. Processes come and go on a busy
// machine, so the paired ratio is the figure to trust there.
//   bench_processsource --benchmark_enable_random_interleaving=true

#include "barereader.h"
#include "platform/os/linuxprocesssource.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

// One snapshot through the platform source; returns the number of identifiers listed.
// In scan order it stops where the scan stops: no handle, or no name.
std::size_t takeSnapshot(LinuxProcessSource &source, std::vector<ProcessId> &ids, bool scanOrder)
{
    const std::optional<MemoryStatus> memory = source.memoryStatus();
    const std::size_t count = source.enumProcesses(ids) / sizeof(ProcessId);
    ByteCount sizes = 0;
    qsizetype characters = 0;
    int named = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::unique_ptr<ProcessHandle> handle = source.openProcess(ids[i]);
        if (!handle)
            continue;
        const bool modules = handle->enumModules();
        if (scanOrder && !modules)
            continue;
        named += modules ? 1 : 0;
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
    return count;
}

void PlatformSnapshot(benchmark::State &state)
{
    LinuxProcessSource source;
    std::vector<ProcessId> ids(1024);
    std::size_t processes = 0;
    for (auto _ : state)
        processes = takeSnapshot(source, ids, false);
    setProcessCounters(state, processes);
}

void ScanOrderSnapshot(benchmark::State &state)
{
    LinuxProcessSource source;
    std::vector<ProcessId> ids(1024);
    std::size_t processes = 0;
    for (auto _ : state)
        processes = takeSnapshot(source, ids, true);
    setProcessCounters(state, processes);
}

void Reference(benchmark::State &state)
{
    bench::BareProcReader reader;
    std::size_t processes = 0;
    for (auto _ : state) {
        const auto snapshot = reader.read(SIZE_MAX);
        benchmark::DoNotOptimize(snapshot.sum);
        processes = snapshot.identifiers;
    }
    setProcessCounters(state, processes);
}

double threadCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The snapshot and the floor one right after the other, in turns, so that both see the
// same processes and the same load: the ratios of their summed times.
void PairedRatio(benchmark::State &state)
{
    LinuxProcessSource source;
    std::vector<ProcessId> ids(1024);
    bench::BareProcReader reader;
    double snapshotReal = 0, snapshotCpu = 0, referenceReal = 0, referenceCpu = 0;
    double snapshotProcesses = 0, referenceProcesses = 0;
    bool snapshotFirst = false;
    for (auto _ : state) {
        snapshotFirst = !snapshotFirst;
        for (int turn = 0; turn < 2; ++turn) {
            const bool snapshot = (turn == 0) == snapshotFirst;
            const auto realStart = std::chrono::steady_clock::now();
            const double cpuStart = threadCpuSeconds();
            const std::size_t count =
                snapshot ? takeSnapshot(source, ids, false) : reader.read(SIZE_MAX).identifiers;
            const double cpu = threadCpuSeconds() - cpuStart;
            const double real =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart).count();
            (snapshot ? snapshotReal : referenceReal) += real;
            (snapshot ? snapshotCpu : referenceCpu) += cpu;
            (snapshot ? snapshotProcesses : referenceProcesses) += double(count);
        }
    }
    // Per process: the snapshot takes at most 1024 identifiers, the floor takes all.
    const auto ratio = [&](double snapshotTime, double referenceTime) {
        return referenceTime > 0 && snapshotProcesses > 0
                   ? (snapshotTime / snapshotProcesses) / (referenceTime / referenceProcesses)
                   : 0.0;
    };
    state.counters["real_ratio"] = ratio(snapshotReal, referenceReal);
    state.counters["cpu_ratio"] = ratio(snapshotCpu, referenceCpu);
}

BENCHMARK(PlatformSnapshot)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(ScanOrderSnapshot)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(Reference)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(PairedRatio)
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
            // Per process, since processes come and go between the two runs.
            const auto processes = run.counters.find("processes");
            if (run.aggregate_name == "median" && processes != run.counters.end() &&
                processes->second.value > 0) {
                const std::string &name = run.run_name.function_name;
                realTime[name] = run.GetAdjustedRealTime() / processes->second.value;
                cpuTime[name] = run.GetAdjustedCPUTime() / processes->second.value;
            }
            if (run.aggregate_name == "median" && run.run_name.function_name == "PairedRatio") {
                pairedReal = run.counters.at("real_ratio").value;
                pairedCpu = run.counters.at("cpu_ratio").value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints the medians per process of the snapshot and the floor, and their ratio.
    static void printRatio(const char *what, const std::map<std::string, double> &medians)
    {
        const auto snapshot = medians.find("PlatformSnapshot");
        const auto reference = medians.find("Reference");
        if (snapshot != medians.end() && reference != medians.end() && reference->second > 0) {
            std::printf("median %s per process: PlatformSnapshot %.2f us, Reference %.2f us, "
                        "ratio %.3f\n",
                        what, snapshot->second, reference->second,
                        snapshot->second / reference->second);
        }
    }

    std::map<std::string, double> realTime;
    std::map<std::string, double> cpuTime;
    double pairedReal = 0;
    double pairedCpu = 0;
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
    if (reporter.pairedReal > 0) {
        std::printf("median paired ratio PlatformSnapshot / Reference: real time %.3f, CPU time "
                    "%.3f (target at most 1.25)\n",
                    reporter.pairedReal, reporter.pairedCpu);
    }
    return 0;
}

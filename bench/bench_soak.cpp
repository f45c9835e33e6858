// Soak: many memory ticks run back to back through the main window, on the real process
// source of this machine, must not make the program grow. The resident memory after the
// first 100 ticks is the baseline; after the last tick it must lie within 2 MB of it.
//
//   bench_soak [--ticks=N]      (10000 by default; --benchmark_* options are ignored)
//
// The main window runs offscreen with "Disabled" stored, so its timer never fires by itself
// and every tick is one of ours (timerTrigger). Pending events, deferred deletions included,
// are processed every few ticks as the event loop of the running program would. Prints the
// resident memory (VmRSS) along the way, the two readings and their difference, and ends
// with status 1 when the growth is above 2 MB.

#include "app/mainwindow.h"
#include "platform/os/linuxprocesssource.h"
#include "platform/toolkit/desktopshell.h"
#include "support/memorysettingsstore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <QApplication>
#include <string>

using namespace plenwick;
using namespace Qt::StringLiterals;

namespace {

constexpr long kBaselineTicks = 100;
constexpr long kAllowedGrowthKiB = 2 * 1024;
constexpr long kEventsEvery = 10; // ticks between two passes of the event queue
constexpr long kReportEvery = 1000;

// VmRSS of this process in KiB, or nothing when it cannot be read.
std::optional<long> residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return std::nullopt;
}

void processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

long parseTicks(int argc, char **argv)
{
    long ticks = 10000;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--ticks=", 8) == 0) {
            char *end = nullptr;
            ticks = std::strtol(argv[i] + 8, &end, 10);
            if (*end != '\0' || ticks <= kBaselineTicks) {
                std::fprintf(stderr, "bench_soak: --ticks wants a number above %ld\n",
                             kBaselineTicks);
                std::exit(2);
            }
        } else if (std::strncmp(argv[i], "--benchmark", 11) != 0) {
            std::fprintf(stderr, "usage: bench_soak [--ticks=N]\n");
            std::exit(2);
        }
    }
    return ticks;
}

} // namespace

int main(int argc, char **argv)
{
    const long ticks = parseTicks(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    LinuxProcessSource source;
    MemorySettingsStore store;
    NullDesktopShell shell;
    // "Disabled": the timer stays stopped, only our calls tick.
    store.preset(u"Preferences"_s, u"OptRefresh1"_s, u"True"_s);
    store.preset(u"Preferences"_s, u"OptRefresh2"_s, u"False"_s);
    store.preset(u"Preferences"_s, u"OptRefresh3"_s, u"False"_s);

    frmMain main(frmMain::Services{source, store, shell, {}, false});
    main.formLoad();
    main.show();
    processPendingEvents();
    if (main.timerInterval() > 0) {
        std::fprintf(stderr, "bench_soak: the main window's timer runs; the soak needs it off\n");
        return 2;
    }

    const qsizetype writesBefore = store.writes().size();
    using Clock = std::chrono::steady_clock;
    std::optional<long> baseline;
    Clock::time_point soakStart;
    std::printf("%8s %10s\n", "ticks", "VmRSS kB");
    for (long tick = 1; tick <= ticks; ++tick) {
        main.timerTrigger();
        if (tick % kEventsEvery == 0 || tick == ticks)
            processPendingEvents();
        if (tick == kBaselineTicks) {
            baseline = residentKiB();
            soakStart = Clock::now();
        }
        if (tick == kBaselineTicks || tick % kReportEvery == 0 || tick == ticks) {
            const std::optional<long> rss = residentKiB();
            std::printf("%8ld %10ld\n", tick, rss.value_or(-1));
            std::fflush(stdout);
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - soakStart).count();
    const std::optional<long> last = residentKiB();
    if (!baseline || !last) {
        std::fprintf(stderr, "bench_soak: cannot read VmRSS from /proc/self/status\n");
        return 2;
    }

    const long growth = *last - *baseline;
    // The in-memory store keeps every write; ticks should make none.
    std::printf("settings writes during the ticks: %lld\n",
                static_cast<long long>(store.writes().size() - writesBefore));
    std::printf("ticks %ld to %ld: %.2f ms per tick (wall clock)\n", kBaselineTicks, ticks,
                seconds * 1000.0 / double(ticks - kBaselineTicks));
    std::printf("VmRSS after %ld ticks: %ld kB\n", kBaselineTicks, *baseline);
    std::printf("VmRSS after %ld ticks: %ld kB\n", ticks, *last);
    std::printf("growth: %+ld kB (allowed: %ld kB)\n", growth, kAllowedGrowthKiB);
    if (growth > kAllowedGrowthKiB) {
        std::printf("RESULT: the resident memory grew by more than 2 MB\n");
        return 1;
    }
    std::printf("RESULT: within 2 MB\n");
    return 0;
}

// What one scroll event and one layout of the main window cost: moving the chart,
// a whole scan and plot through a fake process source, and the repaint that follows
// (what the event loop then paints and flushes: whatever the event left to update). 16 GiB of
// memory, a window 1920 pixels wide, processes of different names and sizes (each one gets a
// slice).
//
// The figure is the thread's CPU time for the event less the CPU time of the same
// calls to the fake source made on their own right after it: what the program does
// with the facts, not how the fake comes by them (cost.sh measures the real /proc).
// CPU time, not wall-clock time, so that other work on the machine does not count.
#include "app/mainwindow.h"
#include "platform/toolkit/desktopshell.h"
#include "support/fakeprocesssource.h"
#include "support/memorysettingsstore.h"

#include <array>
#include <benchmark/benchmark.h>
#include <ctime>
#include <QApplication>
#include <QScrollBar>
#include <QSlider>

using namespace plenwick;
using namespace Qt::StringLiterals;

namespace {

double threadCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The calls a scan makes of the source, and nothing else.
void askSource(ProcessSource &source)
{
    std::array<ProcessId, 1024> ids{};
    benchmark::DoNotOptimize(source.memoryStatus());
    const std::size_t count = source.enumProcesses(ids) / sizeof(ProcessId);
    for (std::size_t i = 0; i < count; ++i) {
        const std::unique_ptr<ProcessHandle> handle = source.openProcess(ids[i]);
        if (!handle || !handle->enumModules())
            continue;
        benchmark::DoNotOptimize(handle->workingSetSize());
        benchmark::DoNotOptimize(handle->moduleBaseName());
        benchmark::DoNotOptimize(handle->moduleFileName());
    }
}

// Times one event in CPU time, less what the source's calls cost.
template <class F> void timeEvent(benchmark::State &state, ProcessSource &source, F &&event)
{
    const double start = threadCpuSeconds();
    event();
    const double middle = threadCpuSeconds();
    askSource(source);
    const double end = threadCpuSeconds();
    state.SetIterationTime(std::max(0.0, (middle - start) - (end - middle)));
}

// Paints what is waiting to be painted, as the event loop would next.
void paintPending()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

struct Fixture {
    FakeProcessSource source;
    MemorySettingsStore store;
    NullDesktopShell shell;
    std::unique_ptr<frmMain> main;

    Fixture(int processes, int magnification)
    {
        source.setMemory(16LL << 30, 5LL << 30);
        source.addProcess({.pid = 0});
        source.addGeneratedProcesses(processes - 1, 100);
        store.preset(u"Preferences"_s, u"OptRefresh1"_s, u"True"_s);
        store.preset(u"Preferences"_s, u"OptRefresh2"_s, u"False"_s);
        store.preset(u"Preferences"_s, u"Zoom"_s, QString::number(magnification));
        main = std::make_unique<frmMain>(frmMain::Services{source, store, shell, {}, false});
        main->formLoad();
        // Wider than the offscreen screen, which a stored rectangle would be fitted to.
        main->geometryTwips().setWidth(1920 * 15);
        main->geometryTwips().setHeight(1000 * 15);
        main->show();
        QCoreApplication::processEvents();
    }
};

void scrollEvent(benchmark::State &state)
{
    Fixture f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    auto *bar = f.main->findChild<QScrollBar *>(u"HScroll1"_s);
    int value = 0;
    for (auto _ : state) {
        value = (value + bar->singleStep()) % std::max(1, bar->maximum());
        timeEvent(state, f.source, [&] {
            bar->setValue(value); // moves the chart, scans and plots
            paintPending();
        });
    }
}

void layout(benchmark::State &state)
{
    Fixture f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        timeEvent(state, f.source, [&] {
            f.main->forceResize();
            paintPending();
        });
    }
}

void arguments(benchmark::internal::Benchmark *b)
{
    for (int processes : {300, 1024})
        for (int magnification : {1, 4})
            b->Args({processes, magnification});
    b->ArgNames({"processes", "zoom"})
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(7)
        ->ReportAggregatesOnly(true)
        ->UseManualTime();
}

BENCHMARK(scrollEvent)->Apply(arguments);
BENCHMARK(layout)->Apply(arguments);

} // namespace

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_Use96Dpi);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

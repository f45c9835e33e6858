// What one scroll event and one layout of the main window cost: moving the chart,
// a whole scan and plot through a fake process source, and the repaint of the
// visible part of the chart. 16 GiB of memory, a window 1920 pixels wide.
#include "app/mainwindow.h"
#include "platform/toolkit/desktopshell.h"
#include "platform/toolkit/picturebox.h"
#include "support/fakeprocesssource.h"
#include "support/memorysettingsstore.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QScrollBar>
#include <QSlider>

using namespace plenwick;
using namespace Qt::StringLiterals;

namespace {

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
    auto *chart = f.main->findChild<PictureBox *>(u"Picture1"_s);
    int value = 0;
    for (auto _ : state) {
        value = (value + bar->singleStep()) % std::max(1, bar->maximum());
        bar->setValue(value); // moves the chart, scans and plots
        chart->repaint(chart->visibleRegion());
    }
}

void layout(benchmark::State &state)
{
    Fixture f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    auto *chart = f.main->findChild<PictureBox *>(u"Picture1"_s);
    for (auto _ : state) {
        f.main->forceResize();
        chart->repaint(chart->visibleRegion());
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
        ->UseRealTime();
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

#pragma once

// Shared set-up of the main window's tests: a main window over a fake process source,
// a settings store in memory and a desktop shell that only records, plus helpers that
// read what the chart and the windows show. Header-only: it includes the main
// window, which the test support library does not link.

#include "app/mainwindow.h"
#include "platform/desktopshell.h"
#include "platform/picturebox.h"
#include "support/fakeprocesssource.h"
#include "support/memorysettingsstore.h"

#include <functional>
#include <memory>
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QStringList>
#include <QTest>

namespace plenwick::testing {

using namespace Qt::StringLiterals;

inline constexpr ByteCount kMiB = 1024 * 1024;
inline constexpr ByteCount kGiB = 1024 * kMiB;

// Records what it is asked to open, and opens nothing.
class RecordingShell : public DesktopShell {
public:
    QStringList opened;
    void open(const QString &target) override { opened << target; }
};

// The fake process source, with a look at every scan just as it enumerates.
class ObservedProcessSource : public FakeProcessSource {
public:
    std::function<void()> beforeEnumeration;

    std::size_t enumProcesses(std::span<ProcessId> ids) override
    {
        if (beforeEnumeration)
            beforeEnumeration();
        return FakeProcessSource::enumProcesses(ids);
    }
};

// One main window over fakes. The fakes outlive the window.
class MainWindowFixture {
public:
    ObservedProcessSource source;
    MemorySettingsStore store;
    RecordingShell shell;
    std::unique_ptr<frmMain> main;

    MainWindowFixture()
    {
        source.setMemory(256 * kMiB, 96 * kMiB);
        source.addGeneratedProcesses(12);
    }

    ~MainWindowFixture()
    {
        source.beforeEnumeration = nullptr;
        main.reset();
        // Let windows that were closed (and so scheduled for deletion) go.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    MainWindowFixture(const MainWindowFixture &) = delete;
    MainWindowFixture &operator=(const MainWindowFixture &) = delete;

    // Builds the main window (no splash) without loading it.
    frmMain &create()
    {
        main = std::make_unique<frmMain>(frmMain::Services{source, store, shell, {}, false});
        return *main;
    }

    // Builds the main window and runs its start-up.
    frmMain &load()
    {
        create();
        main->formLoad();
        return *main;
    }

    // Shows the loaded main window, as the splash does at the end of its countdown.
    bool show()
    {
        main->show();
        return QTest::qWaitForWindowExposed(main.get());
    }

    // Shows the main window and makes it the active one, so that its shortcuts work.
    bool showActive()
    {
        if (!show())
            return false;
        QApplication::setActiveWindow(main.get());
        return QTest::qWaitForWindowActive(main.get());
    }
};

// The captions of the chart's slice labels, in slice order (element 0, the design
// template, left out).
inline QStringList sliceCaptions(const frmMain &main)
{
    QStringList captions;
    const auto &labels = main.chartControls.progLabel;
    for (int i = 1; i < labels.size(); ++i)
        if (const LabelControl *label = labels.find(i))
            captions << label->caption();
    return captions;
}

// The caption a slice of `bytes` bytes gets: the name, then the size in whole
// kilobytes (rounded down).
inline QString sliceCaption(const QString &name, ByteCount bytes)
{
    const ByteCount kb = bytes >= 0 ? bytes / 1024 : -((-bytes + 1023) / 1024);
    return name + u" ("_s + QString::number(kb) + u"Kb)"_s;
}

// The sum of the working sets of `processes`: what a scan that skips none of them
// keeps as the processes' total for the next scan.
inline ByteCount processTotal(const std::vector<FakeProcess> &processes)
{
    ByteCount sum = 0;
    for (const FakeProcess &p : processes)
        sum += p.workingSet.value_or(0);
    return sum;
}

// The captions a complete scan of `processes` draws after an earlier scan whose
// processes came to `previousTotal` bytes: the operating system's share, one slice per
// process, and the available memory.
inline QStringList expectedCaptions(const std::vector<FakeProcess> &processes, ByteCount total,
                                    ByteCount available, ByteCount previousTotal)
{
    QStringList captions;
    captions << sliceCaption(u"Operating System"_s, total - available - previousTotal);
    for (const FakeProcess &p : processes)
        captions << sliceCaption(p.baseName.value_or(QString()), p.workingSet.value_or(0));
    captions << sliceCaption(u"Available Memory"_s, available);
    return captions;
}

// The same when the process list has not changed since the scan before.
inline QStringList expectedCaptions(const std::vector<FakeProcess> &processes, ByteCount total,
                                    ByteCount available)
{
    return expectedCaptions(processes, total, available, processTotal(processes));
}

// A colour no part of the chart uses, to tell whether the picture was erased.
inline constexpr VbColor kMarkColor = rgb(1, 2, 3);

// Draws a mark in the chart picture's top left corner, away from the bar.
inline void markPicture(frmMain &main)
{
    main.Picture1->line(3, 3, 3, 3, kMarkColor);
}

inline bool pictureMarked(const frmMain &main)
{
    return main.Picture1->pixelAt(3, 3) == kMarkColor;
}

// Whether the chart picture holds exactly what a fresh layout draws for the same
// processes and memory: nothing half drawn, out of place or left over. Lays the chart
// out again to find out.
inline bool chartIsWhole(frmMain &main)
{
    const QImage drawn = main.Picture1->drawing();
    const QStringList captions = sliceCaptions(main);
    main.forceResize();
    return main.Picture1->drawing() == drawn && sliceCaptions(main) == captions;
}

// The message boxes on the screen.
inline QList<QMessageBox *> shownMessageBoxes()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes << box;
    return boxes;
}

// Keys written to the store, as "Section/Key", in write order.
inline QStringList writtenKeyPaths(const MemorySettingsStore &store)
{
    QStringList paths;
    for (const MemorySettingsStore::Write &w : store.writes())
        paths << w.section + u'/' + w.key;
    return paths;
}

// How often `section`/`key` was written.
inline int writeCount(const MemorySettingsStore &store, const QString &section, const QString &key)
{
    int n = 0;
    for (const MemorySettingsStore::Write &w : store.writes())
        n += (w.section == section && w.key == key) ? 1 : 0;
    return n;
}

} // namespace plenwick::testing

// The tests measure the window in twips at 15 per pixel and format numbers with ","
// between thousands, whatever the machine's screen and language.
#define PLENWICK_MAINWINDOW_TEST_MAIN(TestClass)                                                   \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi);                                           \
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));                     \
        QApplication app(argc, argv);                                                              \
        TestClass tc;                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

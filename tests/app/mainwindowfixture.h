#pragma once

// Shared set-up of the main window's tests: a main window over fakes, and helpers that
// read what the chart and the windows show. Header-only: the support library does not
// link the main window.

#include "app/mainwindow.h"
#include "platform/toolkit/desktopshell.h"
#include "platform/toolkit/picturebox.h"
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
// The fixture's machine.
inline constexpr ByteCount kTotal = 256 * kMiB;
inline constexpr ByteCount kAvailable = 96 * kMiB;

inline const QStringList kPreferenceKeys = {u"Preferences/Zoom"_s,
                                            u"Preferences/OptRefresh1"_s,
                                            u"Preferences/OptRefresh2"_s,
                                            u"Preferences/OptRefresh3"_s,
                                            u"Preferences/RefreshInterval1"_s,
                                            u"Preferences/RefreshInterval2"_s,
                                            u"Preferences/ActiveHyperlink"_s};

class RecordingShell : public DesktopShell {
public:
    QStringList opened;
    void open(const QString &target) override { opened << target; }
};

// Lets a test look at every scan just as it enumerates.
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
        source.setMemory(kTotal, kAvailable);
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

    // Without the splash, and without loading.
    frmMain &create()
    {
        main = std::make_unique<frmMain>(frmMain::Services{source, store, shell, {}, false});
        return *main;
    }

    frmMain &load()
    {
        create();
        main->formLoad();
        return *main;
    }

    bool show()
    {
        main->show();
        return QTest::qWaitForWindowExposed(main.get());
    }

    // Active, so that its shortcuts work.
    bool showActive()
    {
        if (!show())
            return false;
        QApplication::setActiveWindow(main.get());
        return QTest::qWaitForWindowActive(main.get());
    }
};

// The captions of the chart's slice labels, in slice order (element 0 is the template).
inline QStringList sliceCaptions(const frmMain &main)
{
    QStringList captions;
    const auto &labels = main.chartControls.progLabel;
    for (int i = 1; i < labels.size(); ++i)
        if (const LabelControl *label = labels.find(i))
            captions << label->caption();
    return captions;
}

// A slice's caption: the name, then the size in whole kilobytes (rounded down).
inline QString sliceCaption(const QString &name, ByteCount bytes)
{
    const ByteCount kb = bytes >= 0 ? bytes / 1024 : -((-bytes + 1023) / 1024);
    return name + u" ("_s + QString::number(kb) + u"Kb)"_s;
}

// What a scan keeps as the processes' total for the next scan's operating-system slice.
inline ByteCount processTotal(const std::vector<FakeProcess> &processes)
{
    ByteCount sum = 0;
    for (const FakeProcess &p : processes)
        sum += p.workingSet.value_or(0);
    return sum;
}

// The captions a complete scan draws after one whose processes came to `previousTotal`.
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

inline QStringList expectedCaptions(const std::vector<FakeProcess> &processes, ByteCount total,
                                    ByteCount available)
{
    return expectedCaptions(processes, total, available, processTotal(processes));
}

inline constexpr VbColor kMarkColor = rgb(1, 2, 3);

// A mark in the chart picture's corner, away from the bar, to tell whether it was erased.
inline void markPicture(frmMain &main)
{
    main.Picture1->line(3, 3, 3, 3, kMarkColor);
}

inline bool pictureMarked(const frmMain &main)
{
    return main.Picture1->pixelAt(3, 3) == kMarkColor;
}

// Whether the chart holds exactly what a fresh layout draws: nothing half drawn or left
// over. Lays the chart out again to find out.
inline bool chartIsWhole(frmMain &main)
{
    const QImage drawn = main.Picture1->drawing();
    const QStringList captions = sliceCaptions(main);
    main.forceResize();
    return main.Picture1->drawing() == drawn && sliceCaptions(main) == captions;
}

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

inline QStringList checkedMagnificationItems(const frmMain &main)
{
    QStringList checked;
    for (const QAction *item : {main.mnu1x, main.mnu2x, main.mnu3x, main.mnu4x})
        if (item->isChecked())
            checked << item->objectName();
    return checked;
}

} // namespace plenwick::testing

// 15 twips per pixel and "," between thousands, whatever the machine's screen and language.
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

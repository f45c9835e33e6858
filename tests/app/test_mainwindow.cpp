// The main window driven from outside, as a user and the other windows drive it: start-up
// from stored settings, the commands, the refresh cycle while it yields, the close paths
// and their saving, the keyboard and the wheel.
#include "app/application.h"
#include "app/mainwindow.h"
#include "platform/toolkit/desktopshell.h"
#include "platform/toolkit/picturebox.h"
#include "support/fakeprocesssource.h"
#include "support/memorysettingsstore.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using namespace plenwick;
using namespace Qt::StringLiterals;

namespace {

constexpr ByteCount kMiB = 1024 * 1024;

// A store whose every write fails once a test sets `failing`, as a full disk does.
class FailingStore : public MemorySettingsStore {
public:
    void setValue(const QString &section, const QString &key, const QString &text) override
    {
        MemorySettingsStore::setValue(section, key, text);
        if (failing && !failure)
            failure = SaveFailure{u"/home/u/Plenwick.ini"_s, u"Disk full"_s};
    }
    std::optional<SaveFailure> takeSaveFailure() override
    {
        return std::exchange(failure, std::nullopt);
    }
    bool failing = false;
    std::optional<SaveFailure> failure;
};

struct Program {
    FakeProcessSource source;
    FailingStore store;
    NullDesktopShell shell;
    std::unique_ptr<frmMain> main;

    explicit Program(const QStringList &stored = {})
    {
        source.setMemory(256 * kMiB, 96 * kMiB);
        source.addGeneratedProcesses(12);
        for (const QString &entry : stored) // "Section/Key=value"
            store.preset(entry.section(u'/', 0, 0), entry.section(u'/', 1).section(u'=', 0, 0),
                         entry.section(u'=', 1));
    }
    ~Program()
    {
        main.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    frmMain &load()
    {
        main = std::make_unique<frmMain>(frmMain::Services{source, store, shell, {}, false});
        main->formLoad();
        return *main;
    }
    template <class T> T *find(const QString &name, QObject *in = nullptr)
    {
        return (in ? in : main.get())->findChild<T *>(name);
    }
    QStringList checkedZoomItems()
    {
        QStringList names;
        for (const char *name : {"mnu1x", "mnu2x", "mnu3x", "mnu4x"})
            if (find<QAction>(QString::fromLatin1(name))->isChecked())
                names << QString::fromLatin1(name);
        return names;
    }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startUp_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("zoomItem");
        QTest::newRow("nothing stored") << QStringList() << 5000 << u"mnu1x"_s;
        // The timer keeps the second it was designed with.
        QTest::newRow("no refresh option")
            << QStringList{u"Preferences/OptRefresh2=False"_s} << 1000 << u"mnu1x"_s;
        QTest::newRow("minutes, 300 %")
            << QStringList{u"Preferences/OptRefresh2=False"_s, u"Preferences/OptRefresh3=True"_s,
                           u"Preferences/RefreshInterval2=2"_s, u"Preferences/Zoom=3"_s}
            << 120000 << u"mnu3x"_s;
        QTest::newRow("zoom beyond 4")
            << QStringList{u"Preferences/Zoom=9"_s} << 5000 << u"mnu4x"_s;
        QTest::newRow("disabled") << QStringList{u"Preferences/OptRefresh1=True"_s,
                                                 u"Preferences/OptRefresh2=False"_s}
                                  << 0 << u"mnu1x"_s;
        // A stored window with no size takes the default place (any other one is brought
        // onto the screen; the end-to-end tests look at that on a real screen).
        QTest::newRow("width 0") << QStringList{u"MainForm/Width=0"_s} << 5000 << u"mnu1x"_s;
        QTest::newRow("height -5") << QStringList{u"MainForm/Height=-5"_s} << 5000 << u"mnu1x"_s;
    }
    void startUp()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, zoomItem);
        Program p(stored);
        frmMain &main = p.load();
        QTEST(int(main.timerInterval()), "interval");
        QCOMPARE(p.checkedZoomItems(), QStringList{zoomItem});
        QCOMPARE(main.magnification(), p.checkedZoomItems().first().mid(3, 1).toInt());
        const WindowGeometry &g = main.geometryTwips();
        QCOMPARE(QRectF(g.left(), g.top(), g.width(), g.height()), QRectF(100, 50, 8200, 6400));
        // Disabled, the timer does not run at all: nothing scans on its own.
        const int scans = p.source.enumerationCount();
        QTest::qWait(main.timerInterval() ? 0 : 50);
        QCOMPARE(p.source.enumerationCount(), scans);
    }

    // Which platform the program asks for before the application object exists.
    void platformChoice_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("platform");
        const QString x = u"DISPLAY=:0"_s, wl = u"WAYLAND_DISPLAY=wayland-0"_s;
        const QStringList none;
        QTest::newRow("nothing set") << none << none << QString();
        QTest::newRow("X session")
            << QStringList{x, u"XDG_SESSION_TYPE=x11"_s} << none << QString();
        QTest::newRow("GNOME Wayland")
            << QStringList{x, wl, u"XDG_CURRENT_DESKTOP=GNOME"_s} << none << u"xcb;wayland"_s;
        QTest::newRow("KDE Wayland, session type only")
            << QStringList{x, u"XDG_SESSION_TYPE=wayland"_s, u"XDG_CURRENT_DESKTOP=KDE"_s} << none
            << u"xcb;wayland"_s;
        QTest::newRow("Wayland without X") << QStringList{wl} << none << QString();
        QTest::newRow("user's QT_QPA_PLATFORM")
            << QStringList{x, wl, u"QT_QPA_PLATFORM=wayland"_s} << none << QString();
        QTest::newRow("-platform")
            << QStringList{x, wl} << QStringList{u"-platform"_s, u"wayland"_s} << QString();
        QTest::newRow("--platform")
            << QStringList{x, wl} << QStringList{u"--platform"_s, u"wayland"_s} << QString();
    }
    void platformChoice()
    {
        QFETCH(QStringList, environment);
        QFETCH(QStringList, arguments);
        QProcessEnvironment env(QProcessEnvironment::InheritFromParent);
        env.clear();
        for (const QString &pair : environment)
            env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        QTEST(preferredPlatform(env, QStringList{u"plenwick"_s} + arguments), "platform");
    }

    // However the program ends, the main window's place is saved as the user left it
    // (kept from before when maximized or minimized), then the preferences, once; a save
    // that fails is told once, whatever was written, and the program still ends.
    void ending_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<Qt::WindowState>("state");
        QTest::newRow("Close button") << u"Command2"_s << Qt::WindowNoState;
        QTest::newRow("File > Exit, maximized") << u"mnuExit"_s << Qt::WindowMaximized;
        QTest::newRow("close box, minimized") << u"close"_s << Qt::WindowMinimized;
    }
    void ending()
    {
        QFETCH(QString, how);
        QFETCH(Qt::WindowState, state);
        Program p;
        frmMain &main = p.load();
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.setGeometry(40, 30, 700, 500); // as the user moves and resizes it
        const QRect outer = main.frameGeometry();
        // The chart is laid out for the window's new size.
        QTRY_COMPARE(p.find<PictureBox>(u"Picture1"_s)->width(), outer.width());
        main.setWindowState(state);
        QStringList place;
        if (state == Qt::WindowNoState)
            place = QStringList{u"MainForm/Left=%1"_s.arg(outer.x() * 15),
                                u"MainForm/Top=%1"_s.arg(outer.y() * 15),
                                u"MainForm/Height=%1"_s.arg(outer.height() * 15),
                                u"MainForm/Width=%1"_s.arg(outer.width() * 15)};
        p.store.clearWrites();
        p.store.failing = true;
        QStringList told;
        QTimer dismiss;
        connect(&dismiss, &QTimer::timeout, [&told] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                told << box->text();
                box->accept();
            }
        });
        dismiss.start(10);
        if (how == u"close"_s)
            main.close();
        else if (auto *button = p.find<QPushButton>(how))
            button->click();
        else
            p.find<QAction>(how)->trigger();
        QVERIFY(main.isEnding() && p.store.saves() == 1);
        const QStringList log = p.store.writeLog();
        QCOMPARE(log.mid(0, place.size()), place);
        QCOMPARE(log.filter(u"Form/"_s), place); // the hidden windows keep theirs
        QCOMPARE(told.size(), 1);
        QVERIFY(told[0].contains(u"/home/u/Plenwick.ini"_s) && told[0].contains(u"Disk full"_s));
        main.close();
        QCOMPARE(p.store.writeLog(), log);
    }

    void commands()
    {
        Program p;
        frmMain &main = p.load();
        int scans = p.source.enumerationCount();
        p.find<QPushButton>(u"Command1"_s)->click();
        p.find<QPushButton>(u"cmdGet"_s)->click();
        p.find<QAction>(u"mnuRefresh"_s)->trigger();
        QCOMPARE(p.source.enumerationCount(), scans + 3);
        // View Data and About > Help show their windows (the end-to-end show_active case
        // clicks each button and sees its window come up active).
        p.find<QPushButton>(u"Command4"_s)->click();
        p.find<QAction>(u"mnuHelp"_s)->trigger();
        QVERIFY(p.find<QWidget>(u"frmData"_s)->isVisible() &&
                p.find<QWidget>(u"frmHelp"_s)->isVisible());
        // The menus' shortcuts belong to the main window: Ctrl+X in the data window is no Exit.
        QApplication::setActiveWindow(p.find<QWidget>(u"frmData"_s));
        QTest::keyClick(p.find<QWidget>(u"frmData"_s), Qt::Key_X, Qt::ControlModifier);
        QVERIFY(!main.isEnding());
        p.find<QAction>(u"mnu4x"_s)->trigger();
        QCOMPARE(main.magnification(), 4);
        QCOMPARE(p.checkedZoomItems(), QStringList{u"mnu4x"_s});
        // A magnification already in force re-lays out nothing.
        scans = p.source.enumerationCount();
        p.find<QAction>(u"mnu4x"_s)->trigger();
        QCOMPARE(p.source.enumerationCount(), scans);
    }

    // A tick lights the lamp; the chart and the data window show its reading, also a data
    // window made again.
    void everythingShowsTheLastReading()
    {
        Program p({u"Preferences/OptRefresh1=True"_s, u"Preferences/OptRefresh2=False"_s});
        frmMain &main = p.load();
        QTRY_COMPARE(p.find<QWidget>(u"Shape1"_s)->accessibleDescription(), u"dim"_s);
        p.source.setMemory(512 * kMiB, 128 * kMiB);
        main.timerTrigger();
        QCOMPARE(p.find<QWidget>(u"Shape1"_s)->accessibleDescription(), u"lit"_s);
        QCOMPARE(p.find<PictureBox>(u"Picture1"_s)->accessibleItems().back().name,
                 u"Available Memory (131072Kb)"_s);
        p.find<QWidget>(u"frmData"_s)->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(p.find<QLabel>(u"Label1"_s, main.dataWindow())->text(),
                 u"536,870,912 bytes   (512 Mb)"_s);
        QCOMPARE(p.find<QLabel>(u"Label2"_s, main.dataWindow())->text(),
                 u"134,217,728 bytes   (128 Mb)"_s);
    }

    // While a memory tick yields, anything may happen; the tick copes.
    void whileATickYields_data()
    {
        QTest::addColumn<QString>("what");
        for (const QString &what :
             {u"close main"_s, u"close frmPreferences"_s, u"close frmData"_s, u"tick"_s})
            QTest::newRow(qPrintable(what)) << what;
    }
    void whileATickYields()
    {
        QFETCH(QString, what);
        Program p;
        frmMain &main = p.load();
        main.show();
        const int scans = p.source.enumerationCount();
        QTimer::singleShot(0, &main, [&] {
            if (what == u"tick"_s)
                main.timerTrigger();
            else if (what == u"close main"_s)
                main.close();
            else
                p.find<QWidget>(what.mid(6))->close();
        });
        main.timerTrigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(main.isEnding(), what == u"close main"_s);
        // No scan after the end; otherwise the tick and whatever ran inside it scanned.
        const int more = p.source.enumerationCount() - scans;
        QVERIFY(what == u"close main"_s ? more == 0 : what == u"tick"_s ? more == 2 : more >= 1);
        if (!main.isEnding()) // the tick loaded what it needed again
            QVERIFY(main.dataWindow() && main.preferences());
    }

    void theChartScrollsByKeyAndWheel()
    {
        Program p({u"Preferences/Zoom=4"_s});
        frmMain &main = p.load();
        main.show();
        auto *bar = p.find<QScrollBar>(u"HScroll1"_s);
        auto *chart = p.find<PictureBox>(u"Picture1"_s);
        // The Tab key goes from the last button to the scroll bar.
        QWidget *next = p.find<QWidget>(u"Command6"_s)->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        QCOMPARE(next, bar);
        const QList<std::pair<Qt::Key, int>> steps = {
            {Qt::Key_Right, 500}, {Qt::Key_PageDown, 2000},      {Qt::Key_Left, 1500},
            {Qt::Key_PageUp, 0},  {Qt::Key_End, bar->maximum()}, {Qt::Key_Home, 0}};
        for (const auto &[key, value] : steps) {
            QTest::keyClick(bar, key);
            QCOMPARE(bar->value(), value);
            QCOMPARE(chart->x(), -qRound(value / 15.0));
        }
        // A wheel turned over the chart reaches the viewport, as the chart ignores it.
        QWheelEvent wheel({50, 50}, chart->mapToGlobal(QPointF(50, 50)), {}, {0, -120},
                          Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(p.find<QWidget>(u"PicScroll"_s), &wheel);
        QVERIFY(bar->value() > 0);
        QCOMPARE(chart->x(), -qRound(bar->value() / 15.0));
        main.forceResize(); // a layout shows the chart from its left end again
        QVERIFY(bar->value() == 0 && chart->x() == 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"

// The main window driven from outside, as a user and the other windows drive it: start-up
// from stored settings, the commands, the refresh cycle while it yields, the close paths
// and their saving, the keyboard and the wheel.
#include "app/application.h"
#include "app/mainlayout.h"
#include "app/mainwindow.h"
#include "platform/toolkit/desktopshell.h"
#include "platform/toolkit/picturebox.h"
#include "support/fakeprocesssource.h"
#include "support/memorysettingsstore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTest>

using namespace plenwick;
using namespace Qt::StringLiterals;

namespace {

constexpr ByteCount kMiB = 1024 * 1024;

// A store whose writes fail once a test sets `failing`, as on a full disk: a failure is
// told for the writes since the last one told.
class FailingStore : public MemorySettingsStore {
public:
    std::optional<SaveFailure> takeSaveFailure() override
    {
        if (!failing || writes().size() == told)
            return std::nullopt;
        told = writes().size();
        return SaveFailure{u"/home/u/Plenwick.ini"_s, u"Disk full"_s};
    }
    bool failing = false;
    qsizetype told = 0;
};

// The width a control has for its caption.
int captionRoom(QWidget *w)
{
    QStyleOptionButton option;
    option.initFrom(w);
    const auto element = qobject_cast<QRadioButton *>(w) ? QStyle::SE_RadioButtonContents
                         : qobject_cast<QCheckBox *>(w)  ? QStyle::SE_CheckBoxContents
                                                         : QStyle::SE_PushButtonContents;
    return qobject_cast<QAbstractButton *>(w)
               ? w->style()->subElementRect(element, &option, w).width()
               : w->contentsRect().width();
}

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
    // "<stored entries>|<timer interval>|<magnification item checked>". The timer keeps the
    // second it was designed with when no refresh option is stored. A stored window with
    // no size takes the default place (any other one is brought onto the screen; the
    // end-to-end tests look at that on a real screen).
    void startUp_data()
    {
        QTest::addColumn<QString>("row");
        for (const QString &row :
             {u"|5000|mnu1x"_s, u"Preferences/OptRefresh2=False|1000|mnu1x"_s,
              u"Preferences/OptRefresh2=False Preferences/OptRefresh3=True "
              u"Preferences/RefreshInterval2=2 Preferences/Zoom=3|120000|mnu3x"_s,
              u"Preferences/Zoom=9|5000|mnu4x"_s,
              u"Preferences/OptRefresh1=True Preferences/OptRefresh2=False|0|mnu1x"_s,
              u"MainForm/Width=0|5000|mnu1x"_s, u"MainForm/Height=-5|5000|mnu1x"_s})
            QTest::newRow(qPrintable(row)) << row;
    }
    void startUp()
    {
        QFETCH(QString, row);
        Program p(row.section(u'|', 0, 0).split(u' ', Qt::SkipEmptyParts));
        frmMain &main = p.load();
        QCOMPARE(int(main.timerInterval()), row.section(u'|', 1, 1).toInt());
        QCOMPARE(p.checkedZoomItems(), QStringList{row.section(u'|', 2)});
        QCOMPARE(main.magnification(), p.checkedZoomItems().first().mid(3, 1).toInt());
        const WindowGeometry &g = main.geometryTwips();
        QCOMPARE(QRectF(g.left(), g.top(), g.width(), g.height()), QRectF(100, 50, 8200, 6400));
        // Disabled, the timer does not run at all: nothing scans on its own.
        const int scans = p.source.enumerationCount();
        QTest::qWait(main.timerInterval() ? 0 : 50);
        QCOMPARE(p.source.enumerationCount(), scans);
    }

    // The main window's layout as numbers: 67 pixels of inner height are too few, 68 are
    // enough; the scroll range reaches the chart's right end, beyond 32766 twips too.
    void layout()
    {
        for (const auto &[width, height, zoom, pictureWidth, scrollMax] :
             {std::tuple{8200.0, 67, 1, 0, 0}, std::tuple{8200.0, 68, 1, 547, 430},
              std::tuple{28800.0, 900, 4, 7680, 86835}, std::tuple{15360.0, 500, 2, 2048, 15795}}) {
            const MainLayout l =
                computeMainLayout({width, 6400, TwipsPerPixel{15, 15}, height, zoom, 2});
            QCOMPARE(l.runs, pictureWidth > 0);
            if (!l.runs)
                continue;
            QCOMPARE(std::tuple(l.picture1WidthPx, l.picture1HeightPx, l.scrollMax),
                     std::tuple(pictureWidth, 332, scrollMax)); // 332: 6400 / 15 - 95
            // The bar's front bottom edge: 20 pixels from the left, 100 from the right, 30
            // above the bottom of the picture; the back edge 33 right and 25 up.
            const LinePoints &front = l.barOutline[0], &back = l.barOutline[2];
            const float w = float(pictureWidth);
            QCOMPARE(std::tuple(front.x1, front.x2, front.y1, back.x2, back.y1),
                     std::tuple(20.0f, w - 100, 302.0f, w - 67, 302.0f - 66 - 25));
            for (int i = 0; i < 6; ++i)
                QCOMPARE(l.buttonLeft[std::size_t(i)], 8.0f + 85.0f * float(i));
            QCOMPARE(l.buttonTop, float(height - 30));
        }
    }

    // Which platform the program asks for before the application object exists:
    // "<environment>|<arguments>|<platform>".
    void platformChoice()
    {
        const QString xw = u"DISPLAY=:0 WAYLAND_DISPLAY=wayland-0"_s;
        for (const QString &row :
             {u"||"_s, u"DISPLAY=:0 XDG_SESSION_TYPE=x11||"_s,
              xw + u" XDG_CURRENT_DESKTOP=GNOME||xcb;wayland"_s,
              u"DISPLAY=:0 XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE||xcb;wayland"_s,
              u"WAYLAND_DISPLAY=wayland-0||"_s, xw + u" QT_QPA_PLATFORM=wayland||"_s,
              xw + u"|-platform wayland|"_s, xw + u"|--platform wayland|"_s}) {
            QProcessEnvironment env;
            for (const QString &pair : row.section(u'|', 0, 0).split(u' ', Qt::SkipEmptyParts))
                env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
            const QStringList arguments = row.section(u'|', 1, 1).split(u' ', Qt::SkipEmptyParts);
            QCOMPARE(preferredPlatform(env, QStringList{u"plenwick"_s} + arguments),
                     row.section(u'|', 2));
        }
    }

    // However the program ends, the main window's place is saved as the user left it
    // (kept from before when maximized or minimized), then the preferences, once; a save
    // that fails is told once, whatever was written, and the program still ends.
    void ending()
    {
        // The Close button; File > Exit, maximized; the close box, minimized.
        for (const auto &[how, state] : {std::pair{u"Command2"_s, Qt::WindowNoState},
                                         std::pair{u"mnuExit"_s, Qt::WindowMaximized},
                                         std::pair{u"close"_s, Qt::WindowMinimized}}) {
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
            QVERIFY(told[0].contains(u"/home/u/Plenwick.ini"_s) &&
                    told[0].contains(u"Disk full"_s));
            main.close();
            QCOMPARE(p.store.writeLog(), log);
        }
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
    void whileATickYields()
    {
        for (const QString &what :
             {u"close main"_s, u"close frmPreferences"_s, u"close frmData"_s, u"tick"_s}) {
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
            QVERIFY(what == u"close main"_s ? more == 0
                    : what == u"tick"_s     ? more == 2
                                            : more >= 1);
            // Unless the program ends, the tick loaded what it needed again.
            QVERIFY(main.isEnding() || (main.dataWindow() && main.preferences()));
        }
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

    // No caption of any window is cut, whatever font size the desktop gives the program
    // and under every widget style installed, and the keyboard's place shows from the
    // start. (Last: it leaves its style and font to the application.)
    void noCaptionIsCut_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<qreal>("desktopPoints");
        for (const QString &style : {u"Fusion"_s, u"Adwaita"_s, u"Adwaita-Dark"_s}) {
            if (!QStyleFactory::keys().contains(style))
                continue; // not installed here
            for (qreal points : {8.0, 10.0, 11.0, 12.0})
                QTest::addRow("%s %g pt", qPrintable(style), points) << style << points;
        }
    }

    void noCaptionIsCut()
    {
        QFETCH(QString, style);
        QFETCH(qreal, desktopPoints);
        QApplication::setStyle(style);
        QFont desktop(u"DejaVu Sans"_s);
        desktop.setPointSizeF(desktopPoints);
        QApplication::setFont(desktop);
        useDesignFont();

        Program p;
        p.source.setMemory(1LL << 40, 1LL << 39);
        frmMain &main = p.load();
        // A platform theme applies the desktop's font once the event loop runs; the
        // running application then tells every window of it.
        QApplication::setFont(desktop);
        QEvent fontChange(QEvent::ApplicationFontChange);
        for (QWidget *window : QApplication::topLevelWidgets())
            QApplication::sendEvent(window, &fontChange);
        // The keyboard starts at "Get Proceses", and its focus mark shows.
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        auto *start = main.findChild<QPushButton *>(u"cmdGet"_s);
        QCOMPARE(QApplication::focusWidget(), start);
        const QImage focused = start->grab().toImage();
        start->clearFocus();
        QVERIFY(start->grab().toImage() != focused);

        for (QWidget *window : QList<QWidget *>{&main, main.preferences(), main.dataWindow(),
                                                main.aboutWindow(), main.helpWindow()}) {
            window->show();
            for (QWidget *w : window->findChildren<QWidget *>()) {
                QString text = w->property("text").toString();
                const auto *label = qobject_cast<QLabel *>(w);
                if (text.isEmpty() || !w->isVisibleTo(window) ||
                    !(label || w->inherits("QAbstractButton")))
                    continue;
                if (label && label->wordWrap()) {
                    QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                             qPrintable(w->objectName()));
                    continue;
                }
                const int needed = w->fontMetrics().horizontalAdvance(text.remove(u'&'));
                QVERIFY2(needed <= captionRoom(w), qPrintable(w->objectName() + u": "_s + text));
            }
            for (QGroupBox *box : window->findChildren<QGroupBox *>())
                QVERIFY(box->fontMetrics().horizontalAdvance(box->title()) < box->width() - 16);
            for (QHeaderView *heading : window->findChildren<QHeaderView *>())
                for (int i = 0; i < heading->count(); ++i)
                    QVERIFY2(
                        heading->sectionSizeHint(i) <= heading->sectionSize(i),
                        qPrintable(heading->model()->headerData(i, Qt::Horizontal).toString()));
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"

// The main window's start-up (stored magnification and rectangle, the windows it
// loads hidden) and every way of closing it (what is saved, in which order, once).
#include "mainwindowfixture.h"
#include "sampling/datawindow.h"
#include "windows/aboutwindow.h"
#include "windows/preferenceswindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>

using namespace Qt::StringLiterals;
using namespace plenwick;
using namespace plenwick::testing;

namespace {

int pictureWidthAt(frmMain &main, int magnification)
{
    return static_cast<int>(std::lround(main.geometryTwips().width() / 15.0 * magnification));
}

QStringList sectionKeys(const QString &section, bool withSize)
{
    QStringList keys{section + u"/Left"_s, section + u"/Top"_s};
    if (withSize)
        keys << section + u"/Height"_s << section + u"/Width"_s;
    return keys;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(shownMessageBoxes().size(), 0); }

    // ---- Start-up ---------------------------------------------------------------

    void startUpWithEmptyStore()
    {
        MainWindowFixture f;
        frmMain &main = f.load();

        QCOMPARE(main.windowTitle(), u"Plenwick"_s);
        const WindowGeometry &g = main.geometryTwips();
        QCOMPARE((QList<double>{g.left(), g.top(), g.width(), g.height()}),
                 (QList<double>{100, 50, 8200, 6400}));
        QCOMPARE(checkedMagnificationItems(main), QStringList{u"mnu1x"_s});
        QCOMPARE(main.Picture1->width(), pictureWidthAt(main, 1));
        QVERIFY(!main.isVisible()); // without the splash nothing shows it yet

        // The preferences window: loaded hidden with the defaults (a tick every 5 s).
        frmPreferences *prefs = main.loadedPreferences();
        QVERIFY(prefs && !prefs->isVisible());
        QCOMPARE((QList<bool>{prefs->optRefresh1->isChecked(), prefs->optRefresh2->isChecked(),
                              prefs->optRefresh3->isChecked()}),
                 (QList<bool>{false, true, false}));
        QCOMPARE(prefs->txtRefresh1->text(), u"5"_s);
        QCOMPARE(prefs->txtRefresh2->text(), u"1"_s);
        QCOMPARE(prefs->sliZoom->value(), 1);
        QVERIFY(main.Timer1.isActive() && main.Timer1.interval() == 5000);

        // The data window: loaded hidden, its memory figures written.
        frmData *data = main.loadedDataWindow();
        QVERIFY(data && !data->isVisible());
        QCOMPARE(data->Label1->text(), u"268,435,456 bytes   (256 Mb)"_s);
        QCOMPARE(data->Label2->text(), u"100,663,296 bytes   (096 Mb)"_s);
        QVERIFY(!main.loadedAboutWindow());
        QVERIFY(!main.loadedHelpWindow());

        // The chart shows the processes; start-up stores nothing; its several scans and
        // layouts leave the chart as one layout draws it.
        QCOMPARE(sliceCaptions(main), expectedCaptions(f.source.processes(), kTotal, kAvailable));
        QCOMPARE(f.store.writeLog(), QStringList());
        QVERIFY(chartIsWhole(main));
    }

    void storedZoom_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("magnification");
        QTest::newRow("3") << u"3"_s << 3;
        QTest::newRow("half rounds to even, down") << u"2.5"_s << 2;
        QTest::newRow("half rounds to even, up") << u"3.5"_s << 4;
        QTest::newRow("below the range") << u"0"_s << 1;
        QTest::newRow("above the range") << u"9"_s << 4;
        QTest::newRow("letters") << u"three"_s << 1;
    }
    void storedZoom()
    {
        QFETCH(QString, stored);
        QFETCH(int, magnification);
        MainWindowFixture f;
        f.store.preset(u"Preferences"_s, u"Zoom"_s, stored);
        frmMain &main = f.load();

        QCOMPARE(main.magnification(), magnification);
        QCOMPARE(main.preferences()->sliZoom->value(), magnification);
        QCOMPARE(checkedMagnificationItems(main), QStringList{u"mnu%1x"_s.arg(magnification)});
        QCOMPARE(main.Picture1->width(), pictureWidthAt(main, magnification));
    }

    void storedRectangle_data()
    {
        QTest::addColumn<QStringList>("stored"); // Left, Top, Height, Width; null: absent
        QTest::addColumn<QList<double>>("expected");
        const QString absent;
        const QList<double> defaults{100, 50, 6400, 8200};
        QTest::newRow("on the screen") << QStringList{u"2000"_s, u"1500"_s, u"7000"_s, u"9000"_s}
                                       << QList<double>{2000, 1500, 7000, 9000};
        QTest::newRow("partly off the left edge")
            << QStringList{u"-3000"_s, u"600"_s, u"6000"_s, u"9000"_s}
            << QList<double>{-3000, 600, 6000, 9000};
        QTest::newRow("off every screen to the right")
            << QStringList{u"100000"_s, u"1500"_s, u"7000"_s, u"9000"_s} << defaults;
        QTest::newRow("only Left stored") << QStringList{u"3000"_s, absent, absent, absent}
                                          << QList<double>{3000, 50, 6400, 8200};
        QTest::newRow("NaN in Top") << QStringList{u"2000"_s, u"NaN"_s, u"7000"_s, u"9000"_s}
                                    << QList<double>{2000, 50, 7000, 9000};
        QTest::newRow("huge Width") << QStringList{u"2000"_s, u"1500"_s, u"7000"_s, u"1e300"_s}
                                    << QList<double>{2000, 1500, 7000, 8200};
    }
    void storedRectangle()
    {
        QFETCH(QStringList, stored);
        QFETCH(QList<double>, expected);
        MainWindowFixture f;
        const QString keys[] = {u"Left"_s, u"Top"_s, u"Height"_s, u"Width"_s};
        for (int i = 0; i < 4; ++i)
            if (!stored.at(i).isNull())
                f.store.preset(u"MainForm"_s, keys[i], stored.at(i));
        frmMain &main = f.load();

        const WindowGeometry &g = main.geometryTwips();
        QCOMPARE((QList<double>{g.left(), g.top(), g.height(), g.width()}), expected);
        // The window stands there at 15 twips per pixel, and the chart was laid out for it.
        QCOMPARE(main.frameGeometry().width(), static_cast<int>(std::lround(expected.at(3) / 15)));
        QCOMPARE(main.frameGeometry().height(), static_cast<int>(std::lround(expected.at(2) / 15)));
        QCOMPARE(main.Picture1->width(), static_cast<int>(std::lround(expected.at(3) / 15)));
    }

    // ---- Closing ----------------------------------------------------------------

    void closePaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("close box") << u"close box"_s;
        QTest::newRow("Close button") << u"Close button"_s;
        QTest::newRow("File > Exit") << u"Exit"_s;
        QTest::newRow("Ctrl+X") << u"Ctrl+X"_s;
    }
    void closePaths()
    {
        QFETCH(QString, path);
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.showActive());
        QSignalSpy unloaded(&main, &frmMain::unloaded);
        main.geometryTwips().setLeft(1500);
        main.geometryTwips().setTop(1200);
        main.geometryTwips().setWidth(9000);
        main.geometryTwips().setHeight(7500);

        // Preferences away from their defaults, set in the preferences window.
        main.Command5->click();
        frmPreferences *prefs = main.loadedPreferences();
        QVERIFY(prefs && prefs->isVisible());
        prefs->sliZoom->setValue(3);
        prefs->optRefresh3->click();
        prefs->txtRefresh2->setText(u"7"_s);
        prefs->txtRefresh1->setText(u"12"_s);
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        f.store.clearWrites();

        const auto runPath = [&] {
            if (path == u"close box"_s)
                main.close();
            else if (path == u"Close button"_s)
                main.Command2->click();
            else if (path == u"Exit"_s)
                main.mnuExit->trigger();
            else
                QTest::keyClick(&main, Qt::Key_X, Qt::ControlModifier);
        };
        runPath();

        // Positions first (the two shown windows), then the preferences, each key once,
        // with the values the windows hold.
        const QString prefsAt =
            u"PreferencesForm/Left=%1,PreferencesForm/Top=%2"_s.arg(prefs->geometryTwips().left())
                .arg(prefs->geometryTwips().top());
        QCOMPARE(f.store.writeLog(),
                 (u"MainForm/Left=1500,MainForm/Top=1200,MainForm/Height=7500,"
                  "MainForm/Width=9000,"_s +
                  prefsAt +
                  u",Preferences/Zoom=3,Preferences/OptRefresh1=False,"
                  "Preferences/OptRefresh2=False,Preferences/OptRefresh3=True,"
                  "Preferences/RefreshInterval1=12,Preferences/RefreshInterval2=7,"
                  "Preferences/ActiveHyperlink=0"_s)
                     .split(u','));

        // The program has ended: nothing shows, nothing ticks.
        QVERIFY(main.isEnding());
        QVERIFY(!main.isVisible());
        QVERIFY(!prefs->isVisible());
        QVERIFY(!main.Timer1.isActive());
        QCOMPARE(unloaded.size(), 1);

        // Whatever else asks to close now saves nothing more, and nothing scans.
        const qsizetype writes = f.store.writes().size();
        runPath();
        main.close();
        main.Command2->click();
        main.mnuExit->trigger();
        QCloseEvent again;
        QCoreApplication::sendEvent(&main, &again);
        QCOMPARE(f.store.writes().size(), writes);
        QCOMPARE(unloaded.size(), 1);
        const int scans = f.source.enumerationCount();
        main.Command1->click();
        main.timerTrigger();
        main.forceResize();
        QCOMPARE(f.source.enumerationCount(), scans);
    }

    void closeWithEveryWindowOpen()
    {
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        main.Command4->click(); // data
        // A desktop activates the window it shows; its activation puts it in place.
        QApplication::setActiveWindow(main.loadedDataWindow());
        QCOMPARE(QApplication::activeWindow(), main.loadedDataWindow());
        main.Command6->click(); // about
        main.Command5->click(); // preferences
        main.mnuHelp->trigger();
        QVERIFY(main.loadedHelpWindow() && main.loadedHelpWindow()->isVisible());
        f.store.clearWrites();

        main.mnuExit->trigger();

        // The four windows in their order (the help window keeps no place), then the
        // preferences.
        QCOMPARE(writtenKeyPaths(f.store),
                 sectionKeys(u"MainForm"_s, true) + sectionKeys(u"DataForm"_s, true) +
                     sectionKeys(u"AboutForm"_s, false) + sectionKeys(u"PreferencesForm"_s, false) +
                     kPreferenceKeys);
        // The data window stood where its first activation put it: the defaults.
        QCOMPARE(f.store.writeLog().filter(u"DataForm/"_s),
                 (QStringList{u"DataForm/Left=100"_s, u"DataForm/Top=50"_s,
                              u"DataForm/Height=5220"_s, u"DataForm/Width=6105"_s}));
        QCOMPARE(f.store.writeLog().filter(u"AboutForm/Left"_s),
                 QStringList{
                     u"AboutForm/Left=%1"_s.arg(main.loadedAboutWindow()->geometryTwips().left())});
        for (QWidget *w : {static_cast<QWidget *>(main.loadedDataWindow()),
                           static_cast<QWidget *>(main.loadedAboutWindow()),
                           static_cast<QWidget *>(main.loadedPreferences()),
                           static_cast<QWidget *>(main.loadedHelpWindow())})
            QVERIFY(w && !w->isVisible());
    }

    void windowsNotInTheNormalStateKeepTheirKeys_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("state");
        for (const QString &row :
             {u"MainForm hidden"_s, u"MainForm minimized"_s, u"MainForm maximized"_s,
              u"DataForm minimized"_s, u"AboutForm hidden"_s, u"PreferencesForm maximized"_s,
              u"PreferencesForm normal"_s})
            QTest::newRow(qPrintable(row)) << row.section(u' ', 0, 0) << row.section(u' ', 1);
    }
    void windowsNotInTheNormalStateKeepTheirKeys()
    {
        QFETCH(QString, window);
        QFETCH(QString, state);
        MainWindowFixture f;
        const QStringList sections = {u"MainForm"_s, u"DataForm"_s, u"AboutForm"_s,
                                      u"PreferencesForm"_s};
        frmMain &main = f.load();
        QVERIFY(f.show());
        main.Command4->click();
        main.Command6->click();
        main.Command5->click();

        const QList<QWidget *> windows{&main, main.loadedDataWindow(), main.loadedAboutWindow(),
                                       main.loadedPreferences()};
        QWidget *target = windows.value(sections.indexOf(window));
        QVERIFY(target && target->isVisible());
        if (state == u"hidden"_s)
            target->hide();
        else if (state == u"minimized"_s)
            target->showMinimized();
        else if (state == u"maximized"_s)
            target->showMaximized();
        QCoreApplication::processEvents();
        f.store.clearWrites();

        main.close();

        QStringList expectedKeys;
        for (const QString &section : sections)
            if (section != window || state == u"normal"_s)
                expectedKeys << sectionKeys(section,
                                            section == u"MainForm"_s || section == u"DataForm"_s);
        QCOMPARE(writtenKeyPaths(f.store), expectedKeys + kPreferenceKeys);
    }

    void activeHyperlink_data()
    {
        QTest::addColumn<bool>("aboutOpen");
        QTest::addColumn<bool>("boxChecked");
        QTest::addColumn<bool>("aboutClosedByUser");
        QTest::addColumn<QString>("stored");
        QTest::newRow("about never opened") << false << false << false << u"0"_s;
        QTest::newRow("about open, box cleared") << true << false << false << u"0"_s;
        QTest::newRow("about open, box checked") << true << true << false << u"1"_s;
        QTest::newRow("box checked, about closed") << true << true << true << u"0"_s;
    }
    void activeHyperlink()
    {
        QFETCH(bool, aboutOpen);
        QFETCH(bool, boxChecked);
        QFETCH(bool, aboutClosedByUser);
        QFETCH(QString, stored);
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        if (aboutOpen) {
            main.Command6->click();
            frmAbout *about = main.loadedAboutWindow();
            QVERIFY(about && about->isVisible());
            if (boxChecked)
                about->Check13->click();
            QCOMPARE(about->Check13->isChecked(), boxChecked);
            if (aboutClosedByUser)
                QVERIFY(about->close());
        }
        f.store.clearWrites();

        main.Command2->click();

        QCOMPARE(f.store.writeLog().filter(u"ActiveHyperlink"_s),
                 QStringList{u"Preferences/ActiveHyperlink="_s + stored});
    }
};

PLENWICK_MAINWINDOW_TEST_MAIN(TestMainWindow)

#include "test_mainwindow.moc"

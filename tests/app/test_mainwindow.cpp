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

struct Rect {
    double left, top, width, height;
};

const Rect kDefaultRect{100, 50, 8200, 6400};

void presetRect(MemorySettingsStore &store, const QString &section, const Rect &r)
{
    store.preset(section, u"Left"_s, QString::number(r.left));
    store.preset(section, u"Top"_s, QString::number(r.top));
    store.preset(section, u"Height"_s, QString::number(r.height));
    store.preset(section, u"Width"_s, QString::number(r.width));
}

QStringList checkedMagnificationItems(const frmMain &main)
{
    QStringList checked;
    for (const QAction *item : {main.mnu1x, main.mnu2x, main.mnu3x, main.mnu4x})
        if (item->isChecked())
            checked << item->objectName();
    return checked;
}

int expectedPictureWidth(frmMain &main, int magnification)
{
    return static_cast<int>(std::lround(main.geometryTwips().width() / 15.0 * magnification));
}

const QStringList kPreferenceKeys = {u"Preferences/Zoom"_s,
                                     u"Preferences/OptRefresh1"_s,
                                     u"Preferences/OptRefresh2"_s,
                                     u"Preferences/OptRefresh3"_s,
                                     u"Preferences/RefreshInterval1"_s,
                                     u"Preferences/RefreshInterval2"_s,
                                     u"Preferences/ActiveHyperlink"_s};

QStringList sectionKeys(const QString &section, bool withSize)
{
    QStringList keys{section + u"/Left"_s, section + u"/Top"_s};
    if (withSize)
        keys << section + u"/Height"_s << section + u"/Width"_s;
    return keys;
}

QString storedText(const MemorySettingsStore &store, const QString &section, const QString &key)
{
    return store.value(section, key).value_or(u"<absent>"_s);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        // Nothing of one test may linger into the next.
        QCOMPARE(shownMessageBoxes().size(), 0);
    }

    // ---- Start-up ---------------------------------------------------------------

    void startUpWithEmptyStore()
    {
        MainWindowFixture f;
        frmMain &main = f.load();

        QCOMPARE(main.windowTitle(), u"Plenwick"_s);
        QCOMPARE(main.geometryTwips().left(), 100.0);
        QCOMPARE(main.geometryTwips().top(), 50.0);
        QCOMPARE(main.geometryTwips().width(), 8200.0);
        QCOMPARE(main.geometryTwips().height(), 6400.0);
        QCOMPARE(main.magnification(), 1);
        QCOMPARE(checkedMagnificationItems(main), QStringList{u"mnu1x"_s});
        QCOMPARE(main.Picture1->width(), expectedPictureWidth(main, 1));
        // Without the splash nothing shows the main window yet.
        QVERIFY(!main.isVisible());

        // The preferences window: loaded by the first tick, hidden, with the defaults,
        // which set the tick to every 5 seconds.
        frmPreferences *prefs = main.loadedPreferences();
        QVERIFY(prefs);
        QVERIFY(!prefs->isVisible());
        QVERIFY(!prefs->optRefresh1->isChecked());
        QVERIFY(prefs->optRefresh2->isChecked());
        QVERIFY(!prefs->optRefresh3->isChecked());
        QCOMPARE(prefs->txtRefresh1->text(), u"5"_s);
        QCOMPARE(prefs->txtRefresh2->text(), u"1"_s);
        QCOMPARE(prefs->sliZoom->value(), 1);
        QVERIFY(main.Timer1.isActive());
        QCOMPARE(main.Timer1.interval(), 5000);
        QCOMPARE(main.timerInterval(), 5000);

        // The data window: loaded, hidden, its memory figures written.
        frmData *data = main.loadedDataWindow();
        QVERIFY(data);
        QVERIFY(!data->isVisible());
        QCOMPARE(data->Label1->text(), u"268,435,456 bytes   (256 Mb)"_s);
        QCOMPARE(data->Label2->text(), u"100,663,296 bytes   (096 Mb)"_s);

        // The about and help windows wait until asked for.
        QVERIFY(!main.loadedAboutWindow());
        QVERIFY(!main.loadedHelpWindow());

        // The chart shows this machine's processes, and start-up stores nothing.
        QCOMPARE(sliceCaptions(main),
                 expectedCaptions(f.source.processes(), 256 * kMiB, 96 * kMiB));
        QCOMPARE(f.store.writeLog(), QStringList());
        // Start-up's several scans and layouts leave the chart as one layout draws it.
        QVERIFY(chartIsWhole(main));
    }

    void storedZoom_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("magnification");
        QTest::newRow("1") << u"1"_s << 1;
        QTest::newRow("2") << u"2"_s << 2;
        QTest::newRow("3") << u"3"_s << 3;
        QTest::newRow("4") << u"4"_s << 4;
        QTest::newRow("half rounds to even, down") << u"2.5"_s << 2;
        QTest::newRow("half rounds to even, up") << u"3.5"_s << 4;
        QTest::newRow("below the range") << u"0"_s << 1;
        QTest::newRow("negative") << u"-3"_s << 1;
        QTest::newRow("above the range") << u"9"_s << 4;
        QTest::newRow("letters") << u"three"_s << 1;
        QTest::newRow("empty") << QString() << 1;
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
        // Laid out at that magnification.
        QCOMPARE(main.lastLayout().picture1WidthPx, expectedPictureWidth(main, magnification));
        QCOMPARE(main.Picture1->width(), expectedPictureWidth(main, magnification));
    }

    void storedRectangle_data()
    {
        QTest::addColumn<QStringList>("stored"); // Left, Top, Height, Width; null: absent
        QTest::addColumn<QList<double>>("expected");
        const QString absent;
        QTest::newRow("empty store")
            << QStringList{absent, absent, absent, absent} << QList<double>{100, 50, 6400, 8200};
        QTest::newRow("on the screen") << QStringList{u"2000"_s, u"1500"_s, u"7000"_s, u"9000"_s}
                                       << QList<double>{2000, 1500, 7000, 9000};
        QTest::newRow("partly off the left edge")
            << QStringList{u"-3000"_s, u"600"_s, u"6000"_s, u"9000"_s}
            << QList<double>{-3000, 600, 6000, 9000};
        QTest::newRow("off every screen to the right")
            << QStringList{u"100000"_s, u"1500"_s, u"7000"_s, u"9000"_s}
            << QList<double>{100, 50, 6400, 8200};
        QTest::newRow("off every screen below")
            << QStringList{u"2000"_s, u"200000"_s, u"7000"_s, u"9000"_s}
            << QList<double>{100, 50, 6400, 8200};
        QTest::newRow("off every screen above and left")
            << QStringList{u"-100000"_s, u"-100000"_s, u"7000"_s, u"9000"_s}
            << QList<double>{100, 50, 6400, 8200};
        QTest::newRow("only Left stored") << QStringList{u"3000"_s, absent, absent, absent}
                                          << QList<double>{3000, 50, 6400, 8200};
        QTest::newRow("letters in Left") << QStringList{u"left"_s, u"1500"_s, u"7000"_s, u"9000"_s}
                                         << QList<double>{100, 1500, 7000, 9000};
        QTest::newRow("NaN in Top") << QStringList{u"2000"_s, u"NaN"_s, u"7000"_s, u"9000"_s}
                                    << QList<double>{2000, 50, 7000, 9000};
        QTest::newRow("empty Height")
            << QStringList{u"2000"_s, u"1500"_s, QString(u""_s), u"9000"_s}
            << QList<double>{2000, 1500, 6400, 9000};
        QTest::newRow("huge Width") << QStringList{u"2000"_s, u"1500"_s, u"7000"_s, u"1e300"_s}
                                    << QList<double>{2000, 1500, 7000, 8200};
        QTest::newRow("infinity Width")
            << QStringList{u"2000"_s, u"1500"_s, u"7000"_s, u"Infinity"_s}
            << QList<double>{2000, 1500, 7000, 8200};
        QTest::newRow("all garbage") << QStringList{u"x"_s, u"1,5"_s, u"--3"_s, u"0x10"_s}
                                     << QList<double>{100, 50, 6400, 8200};
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

        QCOMPARE(main.geometryTwips().left(), expected.at(0));
        QCOMPARE(main.geometryTwips().top(), expected.at(1));
        QCOMPARE(main.geometryTwips().height(), expected.at(2));
        QCOMPARE(main.geometryTwips().width(), expected.at(3));
        // The window itself stands there, at 15 twips per pixel.
        QCOMPARE(main.frameGeometry().width(), static_cast<int>(std::lround(expected.at(3) / 15)));
        QCOMPARE(main.frameGeometry().height(), static_cast<int>(std::lround(expected.at(2) / 15)));
        // And the chart was laid out for that size.
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

        // Preferences away from their defaults, set in the preferences window.
        main.Command5->click();
        frmPreferences *prefs = main.loadedPreferences();
        QVERIFY(prefs && prefs->isVisible());
        prefs->sliZoom->setValue(3);
        prefs->optRefresh3->click();
        prefs->txtRefresh2->setText(u"7"_s);
        prefs->txtRefresh1->setText(u"12"_s);
        QVERIFY(prefs->optRefresh3->isChecked());
        if (path == u"Ctrl+X"_s) {
            QApplication::setActiveWindow(&main);
            QVERIFY(QTest::qWaitForWindowActive(&main));
        }
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

        // Positions first (the main window, then the preferences window, the two shown),
        // then the preferences, each key once.
        const QStringList expectedKeys = sectionKeys(u"MainForm"_s, true) +
                                         sectionKeys(u"PreferencesForm"_s, false) + kPreferenceKeys;
        QCOMPARE(writtenKeyPaths(f.store), expectedKeys);

        // The values are those the windows hold.
        const auto stored = [&](const QString &section, const QString &key) {
            return storedText(f.store, section, key);
        };
        QCOMPARE(stored(u"MainForm"_s, u"Left"_s), u"100"_s);
        QCOMPARE(stored(u"MainForm"_s, u"Top"_s), u"50"_s);
        QCOMPARE(stored(u"MainForm"_s, u"Height"_s), u"6400"_s);
        QCOMPARE(stored(u"MainForm"_s, u"Width"_s), u"8200"_s);
        QCOMPARE(stored(u"PreferencesForm"_s, u"Left"_s),
                 QString::number(prefs->geometryTwips().left()));
        QCOMPARE(stored(u"PreferencesForm"_s, u"Top"_s),
                 QString::number(prefs->geometryTwips().top()));
        QCOMPARE(stored(u"Preferences"_s, u"Zoom"_s), u"3"_s);
        QCOMPARE(stored(u"Preferences"_s, u"OptRefresh1"_s), u"False"_s);
        QCOMPARE(stored(u"Preferences"_s, u"OptRefresh2"_s), u"False"_s);
        QCOMPARE(stored(u"Preferences"_s, u"OptRefresh3"_s), u"True"_s);
        QCOMPARE(stored(u"Preferences"_s, u"RefreshInterval1"_s), u"12"_s);
        QCOMPARE(stored(u"Preferences"_s, u"RefreshInterval2"_s), u"7"_s);
        QCOMPARE(stored(u"Preferences"_s, u"ActiveHyperlink"_s), u"0"_s);

        // The program has ended: nothing shows, nothing ticks.
        QVERIFY(main.isEnding());
        QVERIFY(!main.isVisible());
        QVERIFY(!prefs->isVisible());
        QVERIFY(!main.Timer1.isActive());
        QCOMPARE(unloaded.size(), 1);

        // Whatever else asks to close now saves nothing more.
        const qsizetype writes = f.store.writes().size();
        runPath();
        main.close();
        main.Command2->click();
        main.mnuExit->trigger();
        QCloseEvent again;
        QCoreApplication::sendEvent(&main, &again);
        QCOMPARE(f.store.writes().size(), writes);
        QCOMPARE(unloaded.size(), 1);

        // Nor does anything scan any more.
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
        const QStringList expectedKeys = sectionKeys(u"MainForm"_s, true) +
                                         sectionKeys(u"DataForm"_s, true) +
                                         sectionKeys(u"AboutForm"_s, false) +
                                         sectionKeys(u"PreferencesForm"_s, false) + kPreferenceKeys;
        QCOMPARE(writtenKeyPaths(f.store), expectedKeys);
        // The data window stood where its first activation put it: the defaults.
        QCOMPARE(storedText(f.store, u"DataForm"_s, u"Left"_s), u"100"_s);
        QCOMPARE(storedText(f.store, u"DataForm"_s, u"Top"_s), u"50"_s);
        QCOMPARE(storedText(f.store, u"DataForm"_s, u"Height"_s), u"5220"_s);
        QCOMPARE(storedText(f.store, u"DataForm"_s, u"Width"_s), u"6105"_s);
        QCOMPARE(storedText(f.store, u"AboutForm"_s, u"Left"_s),
                 QString::number(main.loadedAboutWindow()->geometryTwips().left()));
        // Every window went with the main window.
        for (QWidget *w : {static_cast<QWidget *>(main.loadedDataWindow()),
                           static_cast<QWidget *>(main.loadedAboutWindow()),
                           static_cast<QWidget *>(main.loadedPreferences()),
                           static_cast<QWidget *>(main.loadedHelpWindow())})
            QVERIFY(w && !w->isVisible());
    }

    void movedWindowSavesWhereItStands()
    {
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        main.geometryTwips().setLeft(1500);
        main.geometryTwips().setTop(1200);
        main.geometryTwips().setWidth(9000);
        main.geometryTwips().setHeight(7500);
        f.store.clearWrites();

        main.close();

        QCOMPARE(storedText(f.store, u"MainForm"_s, u"Left"_s), u"1500"_s);
        QCOMPARE(storedText(f.store, u"MainForm"_s, u"Top"_s), u"1200"_s);
        QCOMPARE(storedText(f.store, u"MainForm"_s, u"Height"_s), u"7500"_s);
        QCOMPARE(storedText(f.store, u"MainForm"_s, u"Width"_s), u"9000"_s);
    }

    void windowsNotInTheNormalStateKeepTheirKeys_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("state");
        for (const QString &window :
             {u"MainForm"_s, u"DataForm"_s, u"AboutForm"_s, u"PreferencesForm"_s}) {
            for (const QString &state :
                 {u"normal"_s, u"hidden"_s, u"minimized"_s, u"maximized"_s}) {
                const QByteArray name = (window + u", "_s + state).toUtf8();
                QTest::newRow(name.constData()) << window << state;
            }
        }
    }
    void windowsNotInTheNormalStateKeepTheirKeys()
    {
        QFETCH(QString, window);
        QFETCH(QString, state);
        MainWindowFixture f;
        // What an earlier run stored.
        presetRect(f.store, u"MainForm"_s, {1500, 900, 9000, 6000});
        presetRect(f.store, u"DataForm"_s, {700, 800, 6500, 5500});
        f.store.preset(u"AboutForm"_s, u"Left"_s, u"1111"_s);
        f.store.preset(u"AboutForm"_s, u"Top"_s, u"2222"_s);
        f.store.preset(u"PreferencesForm"_s, u"Left"_s, u"3333"_s);
        f.store.preset(u"PreferencesForm"_s, u"Top"_s, u"4444"_s);
        frmMain &main = f.load();
        QVERIFY(f.show());
        main.Command4->click();
        main.Command6->click();
        main.Command5->click();

        QWidget *target = nullptr;
        if (window == u"MainForm"_s)
            target = &main;
        else if (window == u"DataForm"_s)
            target = main.loadedDataWindow();
        else if (window == u"AboutForm"_s)
            target = main.loadedAboutWindow();
        else
            target = main.loadedPreferences();
        QVERIFY(target && target->isVisible());
        if (state == u"hidden"_s)
            target->hide();
        else if (state == u"minimized"_s)
            target->showMinimized();
        else if (state == u"maximized"_s)
            target->showMaximized();
        QCoreApplication::processEvents();
        const QMap<QString, QString> before = [&] {
            QMap<QString, QString> values;
            for (const QString &key : {u"Left"_s, u"Top"_s, u"Height"_s, u"Width"_s})
                values.insert(key, storedText(f.store, window, key));
            return values;
        }();
        f.store.clearWrites();

        main.close();

        const QStringList sections = {u"MainForm"_s, u"DataForm"_s, u"AboutForm"_s,
                                      u"PreferencesForm"_s};
        QStringList expectedKeys;
        for (const QString &section : sections) {
            if (section == window && state != u"normal"_s)
                continue;
            expectedKeys << sectionKeys(section,
                                        section == u"MainForm"_s || section == u"DataForm"_s);
        }
        expectedKeys << kPreferenceKeys;
        QCOMPARE(writtenKeyPaths(f.store), expectedKeys);
        if (state != u"normal"_s) {
            for (auto it = before.cbegin(); it != before.cend(); ++it)
                QCOMPARE(storedText(f.store, window, it.key()), it.value());
        }
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

        QCOMPARE(writeCount(f.store, u"Preferences"_s, u"ActiveHyperlink"_s), 1);
        QCOMPARE(storedText(f.store, u"Preferences"_s, u"ActiveHyperlink"_s), stored);
    }

    void closeAfterTheUserClosedThePreferencesWindow()
    {
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        main.Command5->click();
        frmPreferences *prefs = main.loadedPreferences();
        prefs->txtRefresh1->setText(u"9"_s);
        prefs->sliZoom->setValue(2);
        QVERIFY(prefs->close());
        // Its own close stored what it held.
        QCOMPARE(storedText(f.store, u"Preferences"_s, u"RefreshInterval1"_s), u"9"_s);
        QCOMPARE(storedText(f.store, u"Preferences"_s, u"Zoom"_s), u"2"_s);
        QTest::qWait(0);
        f.store.clearWrites();

        main.close();

        // The preferences are those its close stored; the window is not shown, so its
        // place is not written again.
        QCOMPARE(writtenKeyPaths(f.store), sectionKeys(u"MainForm"_s, true) + kPreferenceKeys);
        QCOMPARE(storedText(f.store, u"Preferences"_s, u"RefreshInterval1"_s), u"9"_s);
        QCOMPARE(storedText(f.store, u"Preferences"_s, u"Zoom"_s), u"2"_s);
        QCOMPARE(storedText(f.store, u"Preferences"_s, u"OptRefresh2"_s), u"True"_s);
        QVERIFY(main.isEnding());
    }

    void closeBeforeTheWindowWasEverShown()
    {
        MainWindowFixture f;
        frmMain &main = f.load();
        f.store.clearWrites();

        main.mnuExit->trigger();

        // A window that was never shown keeps its place; the preferences are saved.
        QCOMPARE(writtenKeyPaths(f.store), kPreferenceKeys);
        QVERIFY(main.isEnding());
    }
};

PLENWICK_MAINWINDOW_TEST_MAIN(TestMainWindow)

#include "test_mainwindow.moc"

// The memory tick: the data window's two figures, the scan state's memory values,
// the option "Disabled", a failed memory reading, and what may happen while a tick
// yields to pending events (closing windows, a second tick, Refresh, scrolling).
#include "mainwindowfixture.h"
#include "sampling/datawindow.h"
#include "windows/preferenceswindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace plenwick;
using namespace plenwick::testing;

namespace {

const QStringList kMainFormKeys = {u"MainForm/Left"_s, u"MainForm/Top"_s, u"MainForm/Height"_s,
                                   u"MainForm/Width"_s};

struct Figures {
    QString label1, label2;
    ByteCount total = 0, available = 0;
    friend bool operator==(const Figures &, const Figures &) = default;
};

Figures figures(frmMain &main)
{
    frmData *data = main.loadedDataWindow();
    return {data ? data->Label1->text() : u"(not loaded)"_s,
            data ? data->Label2->text() : u"(not loaded)"_s, main.scan.totalPhysical,
            main.scan.availablePhysical};
}

// The chart as a main window started as the tests start it draws it after one tick
// that reads the given memory figures.
QImage drawingAfterOneTick(ByteCount total, ByteCount available)
{
    MainWindowFixture f;
    frmMain &main = f.load();
    if (!f.show())
        return {};
    f.source.setMemory(total, available);
    main.timerTrigger();
    return main.Picture1->drawing();
}

} // namespace

namespace QTest {
template <> char *toString(const Figures &f)
{
    return QTest::toString(f.label1 + u" / "_s + f.label2 + u" / "_s + QString::number(f.total) +
                           u" / "_s + QString::number(f.available));
}
} // namespace QTest

class TestRefreshCycle : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(shownMessageBoxes().size(), 0); }

    void memoryFigures_data()
    {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("available");
        QTest::addColumn<QString>("label1");
        QTest::addColumn<QString>("label2");
        QTest::newRow("256 MB") << qint64(268435456) << qint64(134217728)
                                << u"268,435,456 bytes   (256 Mb)"_s
                                << u"134,217,728 bytes   (128 Mb)"_s;
        QTest::newRow("64 MB") << qint64(64 * kMiB) << qint64(32 * kMiB)
                               << u"67,108,864 bytes   (064 Mb)"_s
                               << u"33,554,432 bytes   (032 Mb)"_s;
        QTest::newRow("below 10000 bytes")
            << qint64(9999) << qint64(512) << u"09,999 bytes   (000 Mb)"_s
            << u"00,512 bytes   (000 Mb)"_s;
        QTest::newRow("megabytes round")
            << qint64(1000 * kMiB + 600 * 1024) << qint64(9 * kMiB + 400 * 1024)
            << u"1,049,190,400 bytes   (1001 Mb)"_s << u"9,846,784 bytes   (009 Mb)"_s;
        QTest::newRow("2 GB") << qint64(2 * kGiB) << qint64(2 * kGiB - 100 * kMiB)
                              << u"2,147,483,648 bytes   (2048 Mb)"_s
                              << u"2,042,626,048 bytes   (1948 Mb)"_s;
        QTest::newRow("16 GB") << qint64(16 * kGiB) << qint64(12 * kGiB)
                               << u"17,179,869,184 bytes   (16384 Mb)"_s
                               << u"12,884,901,888 bytes   (12288 Mb)"_s;
    }
    void memoryFigures()
    {
        QFETCH(qint64, total);
        QFETCH(qint64, available);
        QFETCH(QString, label1);
        QFETCH(QString, label2);
        MainWindowFixture f;
        frmMain &main = f.load();
        f.source.setMemory(total, available);
        const int scans = f.source.enumerationCount();

        main.timerTrigger();

        QCOMPARE(figures(main), (Figures{label1, label2, total, available}));
        // The tick ends with a Refresh, whose available-memory slice follows the reading.
        QCOMPARE(f.source.enumerationCount(), scans + 1);
        QCOMPARE(sliceCaptions(main).constLast(), sliceCaption(u"Available Memory"_s, available));
    }

    void disabledKeepsTheFigures()
    {
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.showActive());
        main.Command5->click();
        frmPreferences *prefs = main.loadedPreferences();
        const int readsBefore = f.source.memoryStatusCount();

        prefs->optRefresh1->click();

        // One last tick, then the timer stands.
        QCOMPARE(f.source.memoryStatusCount(), readsBefore + 1);
        QVERIFY(!main.Timer1.isActive());
        QCOMPARE(main.timerInterval(), 0);
        const Figures kept = figures(main);
        QCOMPARE(kept, (Figures{u"268,435,456 bytes   (256 Mb)"_s,
                                u"100,663,296 bytes   (096 Mb)"_s, kTotal, kAvailable}));

        // The machine's memory changes; nothing but a tick reads it.
        f.source.setMemory(kGiB, 700 * kMiB);
        const int reads = f.source.memoryStatusCount();
        const int scans = f.source.enumerationCount();
        QApplication::setActiveWindow(&main);
        main.Command1->click();
        main.mnuRefresh->trigger();
        QTest::keyClick(&main, Qt::Key_F5);
        main.cmdGet->click();
        main.HScroll1->setValue(main.HScroll1->value() + 500);
        main.forceResize();
        QTest::qWait(50);
        QCOMPARE(f.source.memoryStatusCount(), reads);
        QCOMPARE(figures(main), kept);
        // Each scanned: Refresh, menu, F5, Get Proceses, the scroll, and the layout of a
        // scrolled chart (twice).
        QCOMPARE(f.source.enumerationCount(), scans + 7);
        // The chart still stands for the memory last read.
        QCOMPARE(sliceCaptions(main).constLast(), sliceCaption(u"Available Memory"_s, kAvailable));

        // A tick renews them.
        main.timerTrigger();
        QCOMPARE(figures(main), (Figures{u"1,073,741,824 bytes   (1024 Mb)"_s,
                                         u"734,003,200 bytes   (700 Mb)"_s, kGiB, 700 * kMiB}));
        QCOMPARE(sliceCaptions(main).constLast(), sliceCaption(u"Available Memory"_s, 700 * kMiB));

        // So does choosing a timed option again, at once.
        f.source.setMemory(2 * kGiB, kGiB);
        prefs->optRefresh2->click();
        QCOMPARE(figures(main).total, 2 * kGiB);
        QCOMPARE(main.timerInterval(), 5000);
    }

    void aFailedReadingKeepsTheLastFigures()
    {
        MainWindowFixture f;
        frmMain &main = f.load();
        const Figures kept = figures(main);
        f.source.setMemoryStatus(std::nullopt);
        const int scans = f.source.enumerationCount();
        const int reads = f.source.memoryStatusCount();

        main.timerTrigger();

        QCOMPARE(f.source.memoryStatusCount(), reads + 1);
        QCOMPARE(figures(main), kept);
        // The tick still refreshes the chart.
        QCOMPARE(f.source.enumerationCount(), scans + 1);
        QCOMPARE(sliceCaptions(main), expectedCaptions(f.source.processes(), kTotal, kAvailable));
    }

    void noReadingAtAll()
    {
        MainWindowFixture f;
        f.source.setMemoryStatus(std::nullopt);
        frmMain &main = f.load();
        QCOMPARE(figures(main),
                 (Figures{u"00,000 bytes   (000 Mb)"_s, u"00,000 bytes   (000 Mb)"_s, 0, 0}));
        main.forceResize();
        main.Command1->click();
        QVERIFY(!main.isEnding());
    }

    // ---- While a tick yields ------------------------------------------------------

    void closingTheMainWindowDuringTheYield_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("close()") << u"close"_s;
        QTest::newRow("posted close event") << u"event"_s;
        QTest::newRow("File > Exit") << u"exit"_s;
    }
    void closingTheMainWindowDuringTheYield()
    {
        QFETCH(QString, how);
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        f.store.clearWrites();
        const int reads = f.source.memoryStatusCount();
        const int scans = f.source.enumerationCount();

        if (how == u"event"_s) {
            QCoreApplication::postEvent(&main, new QCloseEvent);
        } else {
            QTimer::singleShot(0, &main, [&main, how] {
                if (how == u"close"_s)
                    main.close();
                else
                    main.mnuExit->trigger();
            });
        }
        main.timerTrigger();

        // Saved once; the tick went no further: no reading, no scan on an ended program.
        QVERIFY(main.isEnding());
        QCOMPARE(writtenKeyPaths(f.store), kMainFormKeys + kPreferenceKeys);
        QCOMPARE(f.source.memoryStatusCount(), reads);
        QCOMPARE(f.source.enumerationCount(), scans);
        if (how != u"event"_s) // a bare close event leaves the hiding to the program's end
            QVERIFY(!main.isVisible());

        // Nothing more happens afterwards either.
        QTest::qWait(20);
        main.timerTrigger();
        QCOMPARE(writtenKeyPaths(f.store), kMainFormKeys + kPreferenceKeys);
        QCOMPARE(f.source.enumerationCount(), scans);
    }

    void closingTheMainWindowDuringTheFirstTick()
    {
        MainWindowFixture f;
        frmMain &main = f.create();
        // The close comes while start-up's first tick yields.
        QTimer::singleShot(0, &main, [&main] { main.close(); });
        main.formLoad();

        QVERIFY(main.isEnding());
        // The window was never shown: only the preferences are saved, once.
        QCOMPARE(writtenKeyPaths(f.store), kPreferenceKeys);
        QCOMPARE(f.store.value(u"Preferences"_s, u"OptRefresh2"_s).value_or(QString()), u"True"_s);
        QTest::qWait(20);
        QVERIFY(!main.isVisible());
        QCOMPARE(writtenKeyPaths(f.store), kPreferenceKeys);
    }

    void aSecondTickDuringTheYield_data()
    {
        QTest::addColumn<bool>("byTimer");
        QTest::newRow("TimerTrigger") << false;
        QTest::newRow("the timer's own tick") << true;
    }
    void aSecondTickDuringTheYield()
    {
        QFETCH(bool, byTimer);
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        const int reads = f.source.memoryStatusCount();
        const int scans = f.source.enumerationCount();
        if (byTimer) {
            main.setTimerInterval(1);
            QTest::qWait(5); // let the next tick fall due
            f.source.setMemory(kGiB, 512 * kMiB);
        } else {
            QTimer::singleShot(0, &main, [&] {
                f.source.setMemory(kGiB, 512 * kMiB);
                main.timerTrigger();
            });
        }
        // Only ticks that run now count.
        const int readsNow = f.source.memoryStatusCount();
        const int scansNow = f.source.enumerationCount();

        main.timerTrigger();
        main.setTimerInterval(0);

        // Both ran to their end, each with its reading and its scan.
        QVERIFY(readsNow >= reads);
        QCOMPARE(f.source.memoryStatusCount(), readsNow + 2);
        QCOMPARE(f.source.enumerationCount(), scansNow + 2);
        QCOMPARE(scansNow - scans, readsNow - reads);
        QCOMPARE(figures(main), (Figures{u"1,073,741,824 bytes   (1024 Mb)"_s,
                                         u"536,870,912 bytes   (512 Mb)"_s, kGiB, 512 * kMiB}));
        QCOMPARE(sliceCaptions(main), expectedCaptions(f.source.processes(), kGiB, 512 * kMiB));
        // Drawn as the same ticks one after the other draw it.
        QCOMPARE(main.Picture1->drawing(), drawingAfterOneTick(kGiB, 512 * kMiB));
    }

    void closingThePreferencesWindowDuringTheYield()
    {
        const int magnification = 3;
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        main.Command5->click();
        QPointer<frmPreferences> prefs = main.loadedPreferences();
        prefs->txtRefresh1->setText(u"8"_s);
        prefs->sliZoom->setValue(magnification);
        f.store.clearWrites();

        QTimer::singleShot(0, prefs, [prefs] { prefs->close(); });
        main.timerTrigger();

        // Its own close stored its settings, once.
        QCOMPARE(f.store.writeLog().filter(u"RefreshInterval1"_s),
                 QStringList{u"Preferences/RefreshInterval1=8"_s});
        // The tick loaded a new one, hidden, from the store, and lit its lamp.
        frmPreferences *now = main.loadedPreferences();
        QVERIFY(now && !now->isVisible());
        QCOMPARE(now->txtRefresh1->text(), u"8"_s);
        QCOMPARE(now->sliZoom->value(), magnification);
        QCOMPARE(now->Shape1->fillColor(), VbColor(255));
        QCOMPARE(main.timerInterval(), 8000);
        // The chart is whole, drawn at the magnification the preferences hold.
        QCOMPARE(checkedMagnificationItems(main), QStringList{u"mnu3x"_s});
        QCOMPARE(sliceCaptions(main), expectedCaptions(f.source.processes(), kTotal, kAvailable));
        QVERIFY(chartIsWhole(main));
        QTRY_VERIFY(!prefs);
        // The lamp dims after half a second.
        QTRY_COMPARE(now->Shape1->fillColor(), VbColor(128));

        // And the program still ends cleanly, saving once.
        f.store.clearWrites();
        main.close();
        QCOMPARE(writtenKeyPaths(f.store), kMainFormKeys + kPreferenceKeys);
    }

    void closingTheDataWindowDuringTheYield()
    {
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        main.Command4->click();
        QPointer<frmData> data = main.loadedDataWindow();
        QVERIFY(data && data->isVisible());
        f.source.setMemory(512 * kMiB, 100 * kMiB);

        QTimer::singleShot(0, data, [data] { data->close(); });
        main.timerTrigger();

        // The figures and the table went to a data window loaded afresh, hidden.
        frmData *now = main.loadedDataWindow();
        QVERIFY(now && !now->isVisible());
        QCOMPARE(now->Label1->text(), u"536,870,912 bytes   (512 Mb)"_s);
        QCOMPARE(now->grid().textAt(1, 1), u"proc100"_s);
        QCOMPARE(now->grid().textAt(12, 1), u"proc111"_s);
        QCOMPARE(main.Picture1->drawing(), drawingAfterOneTick(512 * kMiB, 100 * kMiB));
        QTRY_VERIFY(!data);
        main.close();
        QVERIFY(main.isEnding());
    }

    void refreshAndScrollingDuringTheYield()
    {
        MainWindowFixture f;
        f.store.preset(u"Preferences"_s, u"Zoom"_s, u"2"_s); // room to scroll
        frmMain &main = f.load();
        QVERIFY(f.show());
        QVERIFY(main.HScroll1->maximum() >= 1500);
        const int scans = f.source.enumerationCount();
        markPicture(main);

        QTimer::singleShot(0, &main, [&main] {
            main.Command1->click();
            main.HScroll1->setValue(1500);
        });
        main.timerTrigger();

        // The Refresh, the scroll and the tick each scanned, in full.
        QCOMPARE(f.source.enumerationCount(), scans + 3);
        QCOMPARE(main.HScroll1->value(), 1500);
        QCOMPARE(main.picture1LeftTwips(), -1500.0);
        QCOMPARE(main.Picture1->x(), -100);
        QVERIFY(pictureMarked(main)); // scrolling does not erase
        QCOMPARE(sliceCaptions(main), expectedCaptions(f.source.processes(), kTotal, kAvailable));
        main.Picture1->line(3, 3, 3, 3, kWhite);
        QVERIFY(chartIsWhole(main));
    }
};

PLENWICK_MAINWINDOW_TEST_MAIN(TestRefreshCycle)

#include "test_refreshcycle.moc"

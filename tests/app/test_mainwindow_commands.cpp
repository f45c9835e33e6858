// The main window's commands as a user gives them: the buttons, the menu items and
// their shortcuts; what each scans, shows and lays out. Also how process names are
// shown (as plain text) and how a failed process list is reported.
#include "mainwindowfixture.h"
#include "sampling/datawindow.h"
#include "windows/aboutwindow.h"
#include "windows/helpwindow.h"
#include "windows/preferenceswindow.h"

#include <QAbstractItemModel>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTextDocument>
#include <QToolTip>

using namespace Qt::StringLiterals;
using namespace plenwick;
using namespace plenwick::testing;

namespace {

// The table's filled rows below the heading, one "pid|name|size|directory" each.
QStringList gridRows(frmMain &main)
{
    const ProcessGrid &grid = main.dataWindow()->grid();
    QStringList rows;
    for (int r = 1; r < grid.rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < ProcessGrid::kColumns; ++c)
            cells << grid.textAt(r, c);
        if (!cells.join(QString()).isEmpty())
            rows << cells.join(u'|');
    }
    return rows;
}

QStringList expectedRows(const std::vector<FakeProcess> &processes)
{
    QStringList rows;
    for (const FakeProcess &p : processes) {
        const QString name = p.baseName.value_or(QString());
        const QString file = p.fileName.value_or(QString());
        rows << QStringList{QString::number(p.pid), name,
                            QString::number(static_cast<double>(*p.workingSet) / 1024) + u"k"_s,
                            file.left(file.size() - name.size())}
                    .join(u'|');
    }
    return rows;
}

} // namespace

class TestMainWindowCommands : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(shownMessageBoxes().size(), 0); }

    // ---- Refresh and the scan ---------------------------------------------------

    void refresh_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Refresh button") << u"button"_s;
        QTest::newRow("View > Refresh") << u"menu"_s;
        QTest::newRow("F5") << u"F5"_s;
        QTest::newRow("Get Proceses button") << u"cmdGet"_s;
    }
    void refresh()
    {
        QFETCH(QString, how);
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.showActive());
        const ByteCount before = processTotal(f.source.processes());
        f.source.removeProcess(103);
        f.source.process(105)->workingSet = 7 * kMiB;
        f.source.addProcess({.pid = 900,
                             .baseName = u"newcomer"_s,
                             .fileName = u"/usr/bin/newcomer"_s,
                             .workingSet = 5 * kMiB});
        // The memory status changes too, but only a tick reads it.
        f.source.setMemory(512 * kMiB, 300 * kMiB);
        const int scans = f.source.enumerationCount();
        const int memoryReads = f.source.memoryStatusCount();

        if (how == u"button"_s)
            main.Command1->click();
        else if (how == u"menu"_s)
            main.mnuRefresh->trigger();
        else if (how == u"F5"_s)
            QTest::keyClick(&main, Qt::Key_F5);
        else
            main.cmdGet->click();

        // One fresh scan, no memory reading.
        QCOMPARE(f.source.enumerationCount(), scans + 1);
        QCOMPARE(f.source.memoryStatusCount(), memoryReads);
        QCOMPARE(main.scan.totalPhysical, kTotal);
        // The chart and the table show the new list.
        QCOMPARE(sliceCaptions(main),
                 expectedCaptions(f.source.processes(), kTotal, kAvailable, before));
        QCOMPARE(gridRows(main), expectedRows(f.source.processes()));
        QVERIFY(!gridRows(main).join(u'\n').contains(u"proc103"_s));

        // The next one takes the operating system's share from this scan's processes.
        main.Command1->click();
        QCOMPARE(f.source.enumerationCount(), scans + 2);
        QCOMPARE(sliceCaptions(main), expectedCaptions(f.source.processes(), kTotal, kAvailable));
    }

    void onlyTheFirstScanLacksTheOperatingSystem()
    {
        MainWindowFixture f;
        frmMain &main = f.create();
        // Just before each scan enumerates, its operating-system slice (if any) has been
        // drawn as slice 1 and the slices after it are gone.
        QStringList firstSlices;
        f.source.beforeEnumeration = [&] {
            const LabelControl *first = main.chartControls.progLabel.find(1);
            firstSlices << (first ? first->caption() : u"(none)"_s);
        };
        main.formLoad();
        main.Command1->click();
        main.mnuRefresh->trigger();
        main.cmdGet->click();
        main.timerTrigger();

        QVERIFY2(firstSlices.size() >= 5, qPrintable(firstSlices.join(u", "_s)));
        QCOMPARE(firstSlices.first(), u"(none)"_s);
        const QString os = sliceCaption(u"Operating System"_s,
                                        kTotal - kAvailable - processTotal(f.source.processes()));
        for (qsizetype i = 1; i < firstSlices.size(); ++i)
            QCOMPARE(firstSlices.at(i), os);
    }

    // Help button: the about window; the Help menu item and F1: the help window. A menu
    // item for a window already open behind the main window hides it and shows it again,
    // so that the desktop brings it to the front.
    void showWindows_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("openBefore");
        QTest::newRow("View Data") << u"Command4"_s << u"frmData"_s << false;
        QTest::newRow("Preferences") << u"Command5"_s << u"frmPreferences"_s << false;
        QTest::newRow("Help button") << u"Command6"_s << u"frmAbout"_s << false;
        QTest::newRow("About > Help") << u"mnuHelp"_s << u"frmHelp"_s << false;
        QTest::newRow("F1") << u"F1"_s << u"frmHelp"_s << false;
        QTest::newRow("mnuAbout, behind") << u"mnuAbout"_s << u"frmAbout"_s << true;
        QTest::newRow("mnuViewData, behind") << u"mnuViewData"_s << u"frmData"_s << true;
        QTest::newRow("mnuPreferences, behind")
            << u"mnuPreferences"_s << u"frmPreferences"_s << true;
    }
    void showWindows()
    {
        QFETCH(QString, how);
        QFETCH(QString, window);
        QFETCH(bool, openBefore);
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.showActive());
        const auto windows = [&] {
            return QList<QWidget *>{main.loadedDataWindow(), main.loadedPreferences(),
                                    main.loadedAboutWindow(), main.loadedHelpWindow()};
        };
        const auto find = [&]() -> QWidget * {
            for (QWidget *w : windows())
                if (w && w->objectName() == window)
                    return w;
            return nullptr;
        };
        const auto run = [&] {
            if (how == u"F1"_s)
                QTest::keyClick(&main, Qt::Key_F1);
            else if (auto *button = main.findChild<QPushButton *>(how))
                button->click();
            else
                main.findChild<QAction *>(how)->trigger();
        };
        if (openBefore) {
            run();
            QVERIFY(find() && find()->isVisible());
            QApplication::setActiveWindow(&main); // the user goes back to the main window
            QCOMPARE(QApplication::activeWindow(), &main);
        }
        QWidget *loadedBefore = find();
        struct Recorder : QObject {
            QList<QEvent::Type> seen;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Hide || e->type() == QEvent::Show)
                    seen << e->type();
                return false;
            }
        } events;
        if (loadedBefore)
            loadedBefore->installEventFilter(&events);

        run();

        // That window came up (the one loaded before, if any), and no other.
        QStringList visible;
        for (QWidget *w : windows())
            if (w && w->isVisible())
                visible << w->objectName();
        QCOMPARE(visible, QStringList{window});
        if (loadedBefore)
            QCOMPARE(find(), loadedBefore);
        if (openBefore)
            QCOMPARE(events.seen, (QList<QEvent::Type>{QEvent::Hide, QEvent::Show}));
    }

    void magnificationItems_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        const std::pair<int, int> rows[] = {{1, 1}, {1, 3}, {3, 3}, {4, 2}};
        for (const auto &[from, to] : rows)
            QTest::addRow("%d00%% to %d00%%", from, to) << from << to;
    }
    void magnificationItems()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        MainWindowFixture f;
        f.store.preset(u"Preferences"_s, u"Zoom"_s, QString::number(from));
        frmMain &main = f.load();
        QVERIFY(f.show());
        const auto widthAt = [&](int m) {
            return static_cast<int>(std::lround(main.geometryTwips().width() / 15.0 * m));
        };
        markPicture(main);
        const int scans = f.source.enumerationCount();
        f.store.clearWrites();

        main.findChild<QAction *>(u"mnu%1x"_s.arg(to))->trigger();

        QCOMPARE(main.preferences()->sliZoom->value(), to);
        QCOMPARE(main.magnification(), to);
        QCOMPARE(checkedMagnificationItems(main), QStringList{u"mnu%1x"_s.arg(to)});
        QCOMPARE(main.Picture1->width(), widthAt(to));
        if (from == to) {
            // Nothing is laid out again: the picture is not erased, nothing is scanned.
            QVERIFY(pictureMarked(main));
            QCOMPARE(f.source.enumerationCount(), scans);
        } else {
            // Laid out afresh: erased and re-plotted from one scan.
            QVERIFY(!pictureMarked(main));
            QCOMPARE(f.source.enumerationCount(), scans + 1);
            QCOMPARE(main.preferences()->lblZoom->text(), u"Magnification %1x"_s.arg(to));
            QCOMPARE(sliceCaptions(main),
                     expectedCaptions(f.source.processes(), kTotal, kAvailable));
        }
        // The items store nothing; the magnification is saved at the end of the run.
        QCOMPARE(f.store.writeLog(), QStringList());
    }

    void processNamesArePlainText()
    {
        MainWindowFixture f;
        const QString name = u"<b>x</b>"_s;
        const QString directory = u"/opt/<i>dir</i>&amp;/"_s;
        f.source.addProcess(
            {.pid = 950, .baseName = name, .fileName = directory + name, .workingSet = 3 * kMiB});
        frmMain &main = f.load();
        QVERIFY(f.show());

        // The chart's label and its tooltip.
        const LabelControl *label = nullptr;
        const auto &labels = main.chartControls.progLabel;
        for (int i = 1; i < labels.size(); ++i)
            if (const LabelControl *l = labels.find(i); l && l->caption().startsWith(name))
                label = l;
        QVERIFY(label);
        QCOMPARE(label->caption(), u"<b>x</b> (3072Kb)"_s);
        QCOMPARE(label->toolTipText, u"/opt/<i>dir</i>&amp;/<b>x</b>  (3 Mb)"_s);

        // The tooltip as the chart shows it, under the pointer: those very characters.
        const QPoint at = label->bounds().center().toPoint();
        QHelpEvent help(QEvent::ToolTip, at, main.Picture1->mapToGlobal(at));
        QCoreApplication::sendEvent(main.Picture1, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QTextDocument shownTip;
        shownTip.setHtml(QToolTip::text());
        QCOMPARE(shownTip.toPlainText(), label->toolTipText);
        QToolTip::hideText();

        // The table's cells.
        frmData *data = main.dataWindow();
        const QAbstractItemModel *model = data->Grid1->model();
        const QModelIndexList hit =
            model->match(model->index(0, 0), Qt::DisplayRole, u"950"_s, 1, Qt::MatchExactly);
        QCOMPARE(hit.size(), 1);
        QCOMPARE(hit[0].siblingAtColumn(1).data().toString(), name);
        QCOMPARE(hit[0].siblingAtColumn(3).data().toString(), directory);
    }

    void enumerationFailureShowsOneMessage()
    {
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        f.source.setEnumerationFails(true);

        main.Command1->click();

        QList<QMessageBox *> boxes = shownMessageBoxes();
        QCOMPARE(boxes.size(), 1);
        QMessageBox *box = boxes.first();
        QCOMPARE(box->text(), u"Failed to get process list."_s);
        QCOMPARE(box->windowTitle(), u"Plenwick"_s);
        QCOMPARE(box->icon(), QMessageBox::Critical);
        // The scan still ends with the available memory.
        QVERIFY(sliceCaptions(main).endsWith(sliceCaption(u"Available Memory"_s, kAvailable)));

        // More failing scans while it is open stack no second box.
        const int scans = f.source.enumerationCount();
        main.mnuRefresh->trigger();
        main.cmdGet->click();
        main.timerTrigger();
        main.forceResize();
        QVERIFY(f.source.enumerationCount() >= scans + 4);
        QCOMPARE(shownMessageBoxes(), QList<QMessageBox *>{box});

        // Once the user has closed it, the next failure shows it again, once.
        QPointer<QMessageBox> closed(box);
        box->accept();
        QTRY_VERIFY(!closed);
        QCOMPARE(shownMessageBoxes().size(), 0);
        main.Command1->click();
        main.Command1->click();
        QCOMPARE(shownMessageBoxes().size(), 1);

        // A list that reads again shows the processes again.
        f.source.setEnumerationFails(false);
        shownMessageBoxes().first()->accept();
        main.Command1->click();
        QCOMPARE(shownMessageBoxes().size(), 0);
        QCOMPARE(gridRows(main), expectedRows(f.source.processes()));
    }

    void enumerationFailureAtStartUp()
    {
        MainWindowFixture f;
        f.source.setEnumerationFails(true);
        frmMain &main = f.load();
        // Start-up scans several times; one box tells of it.
        QVERIFY(f.source.enumerationCount() > 1);
        const QList<QMessageBox *> boxes = shownMessageBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first()->text(), u"Failed to get process list."_s);
        QCOMPARE(boxes.first()->windowTitle(), u"Plenwick"_s);
        QVERIFY(!main.isEnding());
        boxes.first()->accept();
        QTRY_COMPARE(shownMessageBoxes().size(), 0);
    }
};

PLENWICK_MAINWINDOW_TEST_MAIN(TestMainWindowCommands)

#include "test_mainwindow_commands.moc"

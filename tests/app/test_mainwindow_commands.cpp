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

constexpr ByteCount kTotal = 256 * kMiB;
constexpr ByteCount kAvailable = 96 * kMiB;

QStringList checkedMagnificationItems(const frmMain &main)
{
    QStringList checked;
    for (const QAction *item : {main.mnu1x, main.mnu2x, main.mnu3x, main.mnu4x})
        if (item->isChecked())
            checked << item->objectName();
    return checked;
}

QAction *magnificationItem(const frmMain &main, int n)
{
    const QAction *items[] = {main.mnu1x, main.mnu2x, main.mnu3x, main.mnu4x};
    return const_cast<QAction *>(items[n - 1]);
}

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

// Records the events of the given types that reach the watched objects.
class EventRecorder : public QObject {
public:
    explicit EventRecorder(QList<QEvent::Type> types) : m_types(std::move(types)) {}
    QList<QEvent::Type> seen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_types.contains(event->type()))
            seen << event->type();
        return QObject::eventFilter(watched, event);
    }

private:
    QList<QEvent::Type> m_types;
};

// Changes the process list: one process ends, one starts, one grows.
void changeProcesses(FakeProcessSource &source)
{
    source.removeProcess(103);
    source.process(105)->workingSet = 7 * kMiB;
    source.addProcess({.pid = 900,
                       .baseName = u"newcomer"_s,
                       .fileName = u"/usr/bin/newcomer"_s,
                       .workingSet = 5 * kMiB});
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
        changeProcesses(f.source);
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

    // ---- Windows ------------------------------------------------------------------

    void showButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("window");
        QTest::newRow("View Data") << u"Command4"_s << u"frmData"_s;
        QTest::newRow("Preferences") << u"Command5"_s << u"frmPreferences"_s;
        QTest::newRow("Help shows the about window") << u"Command6"_s << u"frmAbout"_s;
    }
    void showButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, window);
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        auto *pushButton = main.findChild<QPushButton *>(button);
        QVERIFY(pushButton);
        QWidget *loadedBefore = nullptr;
        if (window == u"frmData"_s)
            loadedBefore = main.loadedDataWindow();
        else if (window == u"frmPreferences"_s)
            loadedBefore = main.loadedPreferences();
        else
            loadedBefore = main.loadedAboutWindow();

        pushButton->click();

        QWidget *shown = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == window && w->isVisible())
                shown = w;
        QVERIFY(shown);
        if (loadedBefore)
            QCOMPARE(shown, loadedBefore); // the loaded window, not a second one
        // Only that window came up.
        QStringList visible;
        for (QWidget *w : {static_cast<QWidget *>(main.loadedDataWindow()),
                           static_cast<QWidget *>(main.loadedPreferences()),
                           static_cast<QWidget *>(main.loadedAboutWindow()),
                           static_cast<QWidget *>(main.loadedHelpWindow())})
            if (w && w->isVisible())
                visible << w->objectName();
        QCOMPARE(visible, QStringList{window});
    }

    void helpMenuShowsTheHelpWindow_data()
    {
        QTest::addColumn<bool>("byShortcut");
        QTest::newRow("About > Help") << false;
        QTest::newRow("F1") << true;
    }
    void helpMenuShowsTheHelpWindow()
    {
        QFETCH(bool, byShortcut);
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.showActive());
        if (byShortcut)
            QTest::keyClick(&main, Qt::Key_F1);
        else
            main.mnuHelp->trigger();
        QVERIFY(main.loadedHelpWindow());
        QVERIFY(main.loadedHelpWindow()->isVisible());
        QVERIFY(!main.loadedAboutWindow() || !main.loadedAboutWindow()->isVisible());
    }

    void bringUpItems_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("openBefore");
        const std::pair<const char16_t *, const char16_t *> items[] = {
            {u"mnuViewData", u"frmData"},
            {u"mnuPreferences", u"frmPreferences"},
            {u"mnuAbout", u"frmAbout"},
            {u"mnuHelp", u"frmHelp"}};
        for (const auto &[item, window] : items) {
            const QString i = QString::fromUtf16(item), w = QString::fromUtf16(window);
            QTest::addRow("%s, closed", qPrintable(i)) << i << w << false;
            QTest::addRow("%s, behind the main window", qPrintable(i)) << i << w << true;
        }
    }
    void bringUpItems()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        QFETCH(bool, openBefore);
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());
        auto *action = main.findChild<QAction *>(item);
        QVERIFY(action);
        const auto target = [&]() -> QWidget * {
            if (window == u"frmData"_s)
                return main.loadedDataWindow();
            if (window == u"frmPreferences"_s)
                return main.loadedPreferences();
            if (window == u"frmAbout"_s)
                return main.loadedAboutWindow();
            return main.loadedHelpWindow();
        };
        QWidget *before = nullptr;
        if (openBefore) {
            action->trigger();
            before = target();
            QVERIFY(before && before->isVisible());
            // The user goes back to the main window.
            QApplication::setActiveWindow(&main);
            QCOMPARE(QApplication::activeWindow(), &main);
        }
        EventRecorder events({QEvent::Hide, QEvent::Show});
        if (before)
            before->installEventFilter(&events);

        action->trigger();

        QWidget *shown = target();
        QVERIFY(shown);
        QVERIFY(shown->isVisible());
        if (before) {
            // The same window, hidden and shown again so that the desktop brings it to
            // the front.
            QCOMPARE(shown, before);
            QCOMPARE(events.seen, (QList<QEvent::Type>{QEvent::Hide, QEvent::Show}));
        }
    }

    // ---- Magnification --------------------------------------------------------------

    void magnificationItems_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        for (int from = 1; from <= 4; ++from)
            for (int to = 1; to <= 4; ++to)
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
        QCOMPARE(main.magnification(), from);
        const auto widthAt = [&](int m) {
            return static_cast<int>(std::lround(main.geometryTwips().width() / 15.0 * m));
        };
        QCOMPARE(main.Picture1->width(), widthAt(from));
        markPicture(main);
        const int scans = f.source.enumerationCount();
        f.store.clearWrites();

        magnificationItem(main, to)->trigger();

        QCOMPARE(main.preferences()->sliZoom->value(), to);
        QCOMPARE(main.magnification(), to);
        QCOMPARE(checkedMagnificationItems(main), QStringList{u"mnu%1x"_s.arg(to)});
        QCOMPARE(main.Picture1->width(), widthAt(to));
        QCOMPARE(main.lastLayout().picture1WidthPx, widthAt(to));
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

    // ---- Plain text -------------------------------------------------------------------

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
        int row = -1;
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 0).data().toString() == u"950"_s)
                row = r;
        QVERIFY(row > 0);
        QCOMPARE(model->index(row, 1).data().toString(), name);
        QCOMPARE(model->index(row, 3).data().toString(), directory);
    }

    // ---- A process list that cannot be read -------------------------------------------

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

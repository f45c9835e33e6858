// The data window on the offscreen platform at 96 dots per inch (15 twips a pixel):
// its design, the stored rectangle applied on every activation, the grid following the
// window's size, and the process table's model while scans change it.

#include "chart/chartcontrols.h"
#include "chart/chartplotter.h"
#include "chart/chartstate.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "platform/windowgeometry.h"
#include "sampling/datawindow.h"
#include "sampling/processgrid.h"
#include "sampling/processscan.h"
#include "sampling/scanstate.h"
#include "support/fakeprocesssource.h"
#include "support/memorysettingsstore.h"

#include <cmath>
#include <memory>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;

namespace plenwick {

namespace {

int pixels(double twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}

void activate(QWidget *window)
{
    QEvent event(QEvent::WindowActivate);
    QApplication::sendEvent(window, &event);
}

QStringList headings()
{
    return {u"Process ID"_s, u"Filename"_s, u"Size"_s, u"Work Directory"_s};
}

// A scan writing into the window's grid. Nothing is drawn: the plotting has no memory
// reading to scale a slice by.
class GridScan {
public:
    explicit GridScan(frmData &form) : m_form(&form) {}

    FakeProcessSource source;

    void run() { m_scan.cmdGet_Click(); }

private:
    QPointer<frmData> m_form;
    ScanState m_state;
    ChartState m_chart;
    PictureBox m_picture;
    ChartControls m_controls;
    ChartPlotter m_plotter{m_picture, m_controls, m_chart, ChartSources{}};
    ProcessScan m_scan{
        m_state, m_chart, source, m_plotter,
        ProcessScan::Hooks{[this]() -> ProcessGrid & { return m_form->grid(); }, [] {}}};
};

} // namespace

class TestDataWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<MemorySettingsStore> m_store;
    QPointer<frmData> m_form;

    QAbstractItemModel *model() const { return m_form->Grid1->model(); }

    // Loads the window as the first memory tick does, then shows and activates it.
    void showForm()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.data()));
        activate(m_form.data());
    }

    // Resizes the window as a drag of its border does, to an outer size in pixels.
    void dragTo(int outerWidth, int outerHeight)
    {
        const QMargins frame = m_form->geometryTwips().frameMargins();
        m_form->resize(outerWidth - frame.left() - frame.right(),
                       outerHeight - frame.top() - frame.bottom());
    }

    void compareGeometry(double left, double top, double width, double height)
    {
        WindowGeometry &g = m_form->geometryTwips();
        QTRY_COMPARE(g.left(), left);
        QTRY_COMPARE(g.top(), top);
        QTRY_COMPARE(g.width(), width);
        QTRY_COMPARE(g.height(), height);
    }

    // The grid fills the window below the labels: 380 twips narrower, 1230 lower.
    void compareGrid(double width, double height)
    {
        QTRY_COMPARE(m_form->gridWidthTwips(), width);
        QTRY_COMPARE(m_form->gridHeightTwips(), height);
        QCOMPARE(m_form->Grid1->width(), pixels(width));
        QCOMPARE(m_form->Grid1->height(), pixels(height));
        QCOMPARE(m_form->Grid1->pos(), QPoint(pixels(120), pixels(720)));
    }

private slots:
    void initTestCase() { QCOMPARE(screenTwipsPerPixel().x, 15.0); }

    void init()
    {
        m_store = std::make_unique<MemorySettingsStore>();
        m_form = new frmData(*m_store);
        m_form->formLoad();
    }

    void cleanup()
    {
        delete m_form.data();
        m_store.reset();
    }

    // --- Design ---

    void captionAndFrame()
    {
        QCOMPARE(m_form->windowTitle(), u"Memory Data"_s);
        QCOMPARE(m_form->windowType(), Qt::Tool);
        const Qt::WindowFlags flags = m_form->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(m_form->isWindow());
    }

    void labels()
    {
        QCOMPARE(m_form->Label3->text(), u"Total Physical Memory:"_s);
        QCOMPARE(m_form->Label4->text(), u"Available Physical Memory:"_s);
        QCOMPARE(m_form->Label1->text(), u"Label1"_s);
        QCOMPARE(m_form->Label2->text(), u"Label2"_s);
        QVERIFY(m_form->Label3->font().bold());
        QVERIFY(m_form->Label4->font().bold());
        QVERIFY(!m_form->Label1->font().bold());
        QCOMPARE(m_form->Label3->font().pointSizeF(), 8.25);
        // The two captions end at the same edge; their values start at 2520 on their lines.
        QCOMPARE(m_form->Label3->geometry().right(), m_form->Label4->geometry().right());
        QCOMPARE(m_form->Label1->pos(), QPoint(pixels(2520), pixels(120)));
        QCOMPARE(m_form->Label2->pos(), QPoint(pixels(2520), pixels(360)));
        QCOMPARE(m_form->Label3->y(), pixels(120));
        QCOMPARE(m_form->Label4->y(), pixels(360));
    }

    void columnWidthsAfterLoad()
    {
        const int expected[] = {60, 87, 60, 667}; // 900, 1300, 900, 10000 twips
        for (int c = 0; c < ProcessGrid::kColumns; ++c)
            QCOMPARE(m_form->Grid1->columnWidth(c), expected[c]);
    }

    void designRowsAndColumns()
    {
        QCOMPARE(m_form->grid().rows(), 99);
        QCOMPARE(model()->rowCount(), 99);
        QCOMPARE(model()->columnCount(), 4);
        QCOMPARE(model()->rowCount(model()->index(1, 1)), 0);
        for (int r = 0; r < 99; ++r)
            for (int c = 0; c < 4; ++c)
                QCOMPARE(model()->data(model()->index(r, c)).toString(), QString());
    }

    void headingRowHasTheButtonColours()
    {
        const QPalette palette = QApplication::palette();
        QVERIFY(palette.brush(QPalette::Button) != palette.brush(QPalette::Base));
        for (int c = 0; c < ProcessGrid::kColumns; ++c) {
            const QModelIndex heading = model()->index(0, c);
            QCOMPARE(model()->data(heading, Qt::BackgroundRole).value<QBrush>(),
                     palette.brush(QPalette::Button));
            QCOMPARE(model()->data(heading, Qt::ForegroundRole).value<QBrush>(),
                     palette.brush(QPalette::ButtonText));
            for (int r : {1, 50, 98}) {
                const QModelIndex cell = model()->index(r, c);
                QCOMPARE(model()->data(cell, Qt::BackgroundRole).value<QBrush>(),
                         palette.brush(QPalette::Base));
                QCOMPARE(model()->data(cell, Qt::ForegroundRole).value<QBrush>(),
                         palette.brush(QPalette::Text));
            }
        }
        QVERIFY(!model()->flags(model()->index(1, 1)).testFlag(Qt::ItemIsEditable));
    }

    void gridColoursOnScreen()
    {
        // Few rows, so the area below the last row shows.
        m_form->grid().setRows(3);
        showForm();
        QTableView *view = m_form->Grid1;
        const QImage image = view->viewport()->grab().toImage();
        const auto colourAt = [&](int x, int y) { return image.pixelColor(x, y).rgb(); };
        const int x = view->viewport()->width() - 5; // in the last column, right of its text
        QVERIFY(x > view->columnViewportPosition(3) + 120);
        const int heading = view->rowViewportPosition(0) + 2;
        const int row1 = view->rowViewportPosition(1) + 2;
        const int line = view->rowViewportPosition(1) - 1;
        const int below = view->rowViewportPosition(2) + view->rowHeight(2) + 10;
        QVERIFY(below < image.height());
        QCOMPARE(colourAt(x, heading), QApplication::palette().color(QPalette::Button).rgb());
        QCOMPARE(colourAt(x, row1), QApplication::palette().color(QPalette::Base).rgb());
        QCOMPARE(colourAt(x, line), qRgb(192, 192, 192));
        QCOMPARE(colourAt(x, below), qRgb(128, 128, 128));
    }

    // --- Position and size ---

    void firstActivationWithEmptyStore()
    {
        showForm();
        compareGeometry(100, 50, 6105, 5220);
        compareGrid(5725, 3990);
        QCOMPARE(m_form->pos(), QPoint(pixels(100), pixels(50)));
        QVERIFY(m_store->writes().isEmpty());
    }

    void storedRectangleIsAppliedOnEveryActivation()
    {
        m_store->preset(u"DataForm"_s, u"Left"_s, u"1234.5"_s);
        m_store->preset(u"DataForm"_s, u"Top"_s, u"600"_s);
        m_store->preset(u"DataForm"_s, u"Width"_s, u"7500"_s);
        m_store->preset(u"DataForm"_s, u"Height"_s, u"6000"_s);
        showForm();
        compareGeometry(1234.5, 600, 7500, 6000);
        compareGrid(7120, 4770);

        // Moved and resized by the user, then activated again: back where it was stored.
        m_form->move(400, 300);
        dragTo(300, 200);
        QTRY_COMPARE(m_form->gridWidthTwips(), 300 * 15.0 - 380);
        activate(m_form.data());
        compareGeometry(1234.5, 600, 7500, 6000);
        compareGrid(7120, 4770);

        // Called directly too.
        m_form->move(10, 10);
        m_form->Form_Activate();
        compareGeometry(1234.5, 600, 7500, 6000);
        QVERIFY(m_store->writes().isEmpty());
    }

    void unreadableStoredValuesGiveTheDefaults()
    {
        m_store->preset(u"DataForm"_s, u"Left"_s, u"left"_s);
        m_store->preset(u"DataForm"_s, u"Width"_s, QString());
        showForm();
        compareGeometry(100, 50, 6105, 5220);
    }

    void widerThanTheLimitSnapsBack_data()
    {
        QTest::addColumn<int>("widthPixels");
        QTest::addColumn<double>("expectedWidth");
        QTest::newRow("one pixel under") << 899 << 13485.0;
        QTest::newRow("at the limit") << 900 << 13500.0;
        QTest::newRow("one pixel over") << 901 << 13500.0;
        QTest::newRow("far over") << 1500 << 13500.0;
    }

    void widerThanTheLimitSnapsBack()
    {
        QFETCH(int, widthPixels);
        QFETCH(double, expectedWidth);
        showForm();
        compareGeometry(100, 50, 6105, 5220);
        // The user drags the window's edge.
        dragTo(widthPixels, m_form->frameGeometry().height());
        QTRY_COMPARE(m_form->geometryTwips().width(), expectedWidth);
        QTRY_COMPARE(m_form->gridWidthTwips(), expectedWidth - 380);
        QCOMPARE(m_form->Grid1->width(), pixels(expectedWidth - 380));
        QCOMPARE(m_form->gridHeightTwips(), 3990.0);
    }

    void storedWidthOverTheLimitSnapsBack()
    {
        m_store->preset(u"DataForm"_s, u"Width"_s, u"20000"_s);
        showForm();
        // The window itself is put back to 13500 by the resize that the width raised...
        QTRY_COMPARE(m_form->frameGeometry().width(), 900);
        QCoreApplication::processEvents();
        // ...and the window, its grid and what would be stored all agree on it.
        QCOMPARE(m_form->geometryTwips().width(), 13500.0);
        QCOMPARE(m_form->gridWidthTwips(), 13120.0);
        QCOMPARE(m_form->Grid1->width(), pixels(13120));
        QCOMPARE(m_form->gridHeightTwips(), 3990.0);
    }

    void tinyWindowGivesNoNegativeGrid_data()
    {
        QTest::addColumn<int>("widthPixels");
        QTest::addColumn<int>("heightPixels");
        QTest::newRow("tiny") << 10 << 10;
        QTest::newRow("narrow") << 20 << 400;
        QTest::newRow("low") << 400 << 40;
        QTest::newRow("exactly the margins") << 25 << 82; // 375 and 1230 twips
    }

    void tinyWindowGivesNoNegativeGrid()
    {
        QFETCH(int, widthPixels);
        QFETCH(int, heightPixels);
        showForm();
        dragTo(widthPixels, heightPixels);
        const double width = std::max(0.0, widthPixels * 15.0 - 380);
        const double height = std::max(0.0, heightPixels * 15.0 - 1230);
        QTRY_COMPARE(m_form->gridWidthTwips(), width);
        QTRY_COMPARE(m_form->gridHeightTwips(), height);
        QVERIFY(m_form->Grid1->width() >= 0);
        QVERIFY(m_form->Grid1->height() >= 0);
        QCOMPARE(m_form->Grid1->size(), QSize(pixels(width), pixels(height)));
    }

    void tinyStoredRectangle()
    {
        m_store->preset(u"DataForm"_s, u"Width"_s, u"300"_s);
        m_store->preset(u"DataForm"_s, u"Height"_s, u"900"_s);
        showForm();
        compareGrid(0, 0);
    }

    // --- The table's model ---

    void modelStaysConsistentWhileScansChangeTheGrid()
    {
        QAbstractItemModelTester tester(model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        showForm();
        GridScan scan(*m_form);

        scan.source.addGeneratedProcesses(150, 100);
        scan.run();
        QCOMPARE(m_form->grid().rows(), 151);
        QCOMPARE(model()->rowCount(), 151);
        QCoreApplication::processEvents();
        QCOMPARE(model()->data(model()->index(150, 0)).toString(), u"249"_s);
        QCOMPARE(model()->data(model()->index(0, 3)).toString(), u"Work Directory"_s);

        scan.source.clearProcesses();
        scan.source.addGeneratedProcesses(20, 100);
        scan.run();
        QCoreApplication::processEvents();
        QCOMPARE(model()->data(model()->index(21, 0)).toString(), QString());
        QCOMPARE(model()->data(model()->index(20, 0)).toString(), u"119"_s);

        // The grid shrinks below a pending change and grows again.
        m_form->grid().setRow(80);
        m_form->grid().setText(u"pending"_s);
        m_form->grid().setRows(50);
        QCOMPARE(model()->rowCount(), 50);
        m_form->grid().setRows(120);
        QCOMPARE(model()->rowCount(), 120);
        QCoreApplication::processEvents();
        QCOMPARE(model()->data(model()->index(80, 0)).toString(), QString());

        scan.source.addGeneratedProcesses(130, 1000);
        scan.run();
        QCoreApplication::processEvents();
        QCOMPARE(model()->rowCount(), 151);
        QCOMPARE(model()->data(model()->index(150, 1)).toString(), u"proc1129"_s);
        for (int c = 0; c < ProcessGrid::kColumns; ++c)
            QCOMPARE(model()->data(model()->index(0, c)).toString(), headings().at(c));
    }

    void cellChangesAreAnnouncedTogether()
    {
        QSignalSpy changed(model(), &QAbstractItemModel::dataChanged);
        ProcessGrid &grid = m_form->grid();
        for (int r = 40; r >= 3; --r) {
            grid.setRow(r);
            for (int c = 0; c < ProcessGrid::kColumns; ++c) {
                grid.setCol(c);
                grid.setText(u"%1/%2"_s.arg(r).arg(c));
            }
        }
        QCOMPARE(changed.count(), 0); // not yet: the event loop has not run
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 1);
        const auto topLeft = changed.at(0).at(0).value<QModelIndex>();
        const auto bottomRight = changed.at(0).at(1).value<QModelIndex>();
        QCOMPARE(topLeft, model()->index(3, 0));
        QCOMPARE(bottomRight, model()->index(40, 3));
        QCOMPARE(model()->data(model()->index(17, 2)).toString(), u"17/2"_s);

        // Nothing more to announce.
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 1);

        // Writing the text a cell already has is no change.
        grid.setRow(10);
        grid.setCol(1);
        grid.setText(u"10/1"_s);
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 1);

        // A repaint request announces what is gathered at once.
        grid.setRow(60);
        grid.setText(u"x"_s);
        grid.refresh();
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(1).at(0).value<QModelIndex>(), model()->index(60, 0));
        QCOMPARE(changed.at(1).at(1).value<QModelIndex>(), model()->index(60, 3));
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 2);
    }

    void rowChangesComeAfterTheGatheredCellChanges()
    {
        QStringList log;
        connect(model(), &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex &a, const QModelIndex &b) {
                    log << u"changed %1-%2"_s.arg(a.row()).arg(b.row());
                });
        connect(model(), &QAbstractItemModel::rowsInserted, this,
                [&](const QModelIndex &, int first, int last) {
                    log << u"inserted %1-%2"_s.arg(first).arg(last);
                });
        connect(model(), &QAbstractItemModel::rowsRemoved, this,
                [&](const QModelIndex &, int first, int last) {
                    log << u"removed %1-%2"_s.arg(first).arg(last);
                });
        ProcessGrid &grid = m_form->grid();
        grid.setRow(5);
        grid.setText(u"a"_s);
        grid.setRows(150);
        grid.setRow(149);
        grid.setText(u"b"_s);
        grid.setRows(60);
        grid.setRows(60); // no change
        grid.setRows(0);  // one row stays
        QCoreApplication::processEvents();
        QCOMPARE(log, (QStringList{u"changed 5-5"_s, u"inserted 99-149"_s, u"changed 149-149"_s,
                                   u"removed 60-149"_s, u"removed 1-59"_s}));
        QCOMPARE(model()->rowCount(), 1);
        disconnect(model(), nullptr, this, nullptr);
    }

    void tableShowsTheRawText()
    {
        ProcessGrid &grid = m_form->grid();
        grid.setRow(1);
        grid.setCol(1);
        grid.setText(u"<b>x</b>"_s);
        QCOMPARE(model()->data(model()->index(1, 1), Qt::DisplayRole).toString(), u"<b>x</b>"_s);
        QVERIFY(!model()->data(model()->index(1, 0), Qt::ToolTipRole).isValid());
    }

    // --- Closing ---

    void closingUnloadsTheWindow()
    {
        showForm();
        QSignalSpy unloaded(m_form.data(), &frmData::unloaded);
        QVERIFY(m_form->close());
        QCOMPARE(unloaded.count(), 1);
        QTRY_VERIFY(m_form.isNull());
        QVERIFY(m_store->writes().isEmpty()); // nothing is saved on closing
    }
};

} // namespace plenwick

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    plenwick::TestDataWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_datawindow.moc"

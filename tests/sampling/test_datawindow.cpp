// The data window on the offscreen platform at 96 dots per inch (15 twips a pixel):
// its design, the stored rectangle applied on every activation, the grid following the
// window's size, and the process table's model while the grid changes.

#include "platform/toolkit/twips.h"
#include "platform/toolkit/windowgeometry.h"
#include "sampling/datawindow.h"
#include "sampling/processgrid.h"
#include "support/memorysettingsstore.h"

#include <cmath>
#include <memory>
#include <QAbstractItemModelTester>
#include <QApplication>
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
        QCOMPARE(m_form->Label3->text(), u"Total Physical Memory:"_s);
        QCOMPARE(m_form->Label4->text(), u"Available Physical Memory:"_s);
    }

    void memoryCaptionsAreWhole()
    {
        // The bold captions end at one edge, the figures start after it, and neither
        // caption is cut at the window's left, whatever this screen's font measures.
        const QLabel *captions[] = {m_form->Label3, m_form->Label4};
        for (const QLabel *caption : captions) {
            QVERIFY(caption->x() >= 8);
            QCOMPARE(caption->x() + caption->width(),
                     m_form->Label4->x() + m_form->Label4->width());
            QVERIFY(caption->width() >= caption->fontMetrics().horizontalAdvance(caption->text()));
        }
        QVERIFY(m_form->Label1->x() > m_form->Label4->x() + m_form->Label4->width());
        QCOMPARE(m_form->Label1->x(), m_form->Label2->x());
    }

    void columnWidthsAfterLoad()
    {
        const int expected[] = {60, 87, 60, 667}; // 900, 1300, 900, 10000 twips
        for (int c = 0; c < ProcessGrid::kColumns; ++c)
            QCOMPARE(m_form->Grid1->columnWidth(c), expected[c]);
    }

    void headingRowHasTheButtonColours()
    {
        const QPalette palette = QApplication::palette();
        QVERIFY(palette.brush(QPalette::Button) != palette.brush(QPalette::Base));
        const auto background = [&](int r, int c) {
            return model()->data(model()->index(r, c), Qt::BackgroundRole).value<QBrush>();
        };
        QCOMPARE(background(0, 3), palette.brush(QPalette::Button));
        QCOMPARE(background(98, 3), palette.brush(QPalette::Base));
        QVERIFY(!model()->flags(model()->index(1, 1)).testFlag(Qt::ItemIsEditable));
    }

    // --- Position and size ---

    void firstActivationGivesTheDefaults_data()
    {
        QTest::addColumn<QString>("storedLeft");
        QTest::newRow("empty store") << QString();
        QTest::newRow("unreadable stored value") << u"left"_s;
    }

    void firstActivationGivesTheDefaults()
    {
        QFETCH(QString, storedLeft);
        if (!storedLeft.isNull())
            m_store->preset(u"DataForm"_s, u"Left"_s, storedLeft);
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
        QVERIFY(m_store->writes().isEmpty());
    }

    void widerThanTheLimitSnapsBack_data()
    {
        QTest::addColumn<int>("widthPixels");
        QTest::addColumn<double>("expectedWidth");
        QTest::newRow("one pixel under") << 899 << 13485.0;
        QTest::newRow("one pixel over") << 901 << 13500.0;
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
        // The window, its grid and what would be stored all agree on 13500.
        QTRY_COMPARE(m_form->frameGeometry().width(), 900);
        QCoreApplication::processEvents();
        QCOMPARE(m_form->geometryTwips().width(), 13500.0);
        QCOMPARE(m_form->gridWidthTwips(), 13120.0);
        QCOMPARE(m_form->Grid1->width(), pixels(13120));
    }

    void tinyWindowGivesNoNegativeGrid_data()
    {
        QTest::addColumn<int>("widthPixels");
        QTest::addColumn<int>("heightPixels");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::newRow("tiny") << 10 << 10 << 0.0 << 0.0;
        QTest::newRow("low") << 400 << 40 << 5620.0 << 0.0;
        QTest::newRow("just inside the margins") << 26 << 82 << 10.0 << 0.0;
    }

    void tinyWindowGivesNoNegativeGrid()
    {
        QFETCH(int, widthPixels);
        QFETCH(int, heightPixels);
        QFETCH(double, width);
        QFETCH(double, height);
        showForm();
        dragTo(widthPixels, heightPixels);
        QTRY_COMPARE(m_form->gridWidthTwips(), width);
        QTRY_COMPARE(m_form->gridHeightTwips(), height);
        QCOMPARE(m_form->Grid1->size(), QSize(pixels(width), pixels(height)));
    }

    // --- The table's model ---

    void modelStaysConsistentWhileRowsGrowAndShrink()
    {
        QAbstractItemModelTester tester(model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        showForm();
        ProcessGrid &grid = m_form->grid();
        // As a scan does: grow one row at a time past the design rows, writing as it goes.
        for (int r = 1; r <= 150; ++r) {
            if (r >= grid.rows())
                grid.setRows(r + 1);
            grid.setRow(r);
            grid.setText(QString::number(r));
        }
        QCOMPARE(model()->rowCount(), 151);
        QCoreApplication::processEvents();
        QCOMPARE(model()->data(model()->index(150, 0)).toString(), u"150"_s);

        // The grid shrinks below a pending change and grows again.
        grid.setRow(80);
        grid.setText(u"pending"_s);
        grid.setRows(50);
        QCOMPARE(model()->rowCount(), 50);
        grid.setRows(120);
        QCOMPARE(model()->rowCount(), 120);
        QCoreApplication::processEvents();
        QCOMPARE(model()->data(model()->index(80, 0)).toString(), QString());
        QCOMPARE(model()->data(model()->index(49, 0)).toString(), u"49"_s);
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
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model()->index(3, 0));
        QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), model()->index(40, 3));
        QCOMPARE(model()->data(model()->index(17, 2)).toString(), u"17/2"_s);

        // A repaint request announces what is gathered at once.
        grid.setRow(60);
        grid.setText(u"x"_s);
        grid.refresh();
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(1).at(0).value<QModelIndex>(), model()->index(60, 0));
        QCOMPARE(changed.at(1).at(1).value<QModelIndex>(), model()->index(60, 3));
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

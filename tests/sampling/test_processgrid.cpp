// The process table as the scan reads and writes it: a current row and column that
// never leave the grid, a row count that never drops below one, cell texts read safely
// anywhere, and the notifications the data window's model relies on.

#include "sampling/processgrid.h"

#include <climits>
#include <QTest>

using namespace Qt::StringLiterals;

namespace plenwick {

namespace {

// Writes "r<row>c<col>" into every cell, leaving the current cell where it was.
void fillAll(ProcessGrid &grid)
{
    const int row = grid.row(), col = grid.col();
    for (int r = 0; r < grid.rows(); ++r) {
        grid.setRow(r);
        for (int c = 0; c < ProcessGrid::kColumns; ++c) {
            grid.setCol(c);
            grid.setText(u"r%1c%2"_s.arg(r).arg(c));
        }
    }
    grid.setRow(row);
    grid.setCol(col);
}

} // namespace

class TestProcessGrid : public QObject {
    Q_OBJECT

private slots:
    void designShape()
    {
        const ProcessGrid grid;
        QCOMPARE(ProcessGrid::kColumns, 4);
        QCOMPARE(grid.rows(), 99);
        QCOMPARE(grid.row(), 0);
        QCOMPARE(grid.col(), 0);
        for (int r = 0; r < grid.rows(); ++r)
            for (int c = 0; c < ProcessGrid::kColumns; ++c)
                QCOMPARE(grid.textAt(r, c), QString());
    }

    void setRow_data()
    {
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("expected");
        // The current row is 5 before each request.
        QTest::newRow("first") << 0 << 0;
        QTest::newRow("inside") << 40 << 40;
        QTest::newRow("last") << 98 << 98;
        QTest::newRow("one past the last") << 99 << 5;
        QTest::newRow("far past") << 100000 << 5;
        QTest::newRow("minus one") << -1 << 5;
        QTest::newRow("most negative") << INT_MIN << 5;
        QTest::newRow("largest") << INT_MAX << 5;
    }

    void setRow()
    {
        QFETCH(int, request);
        QFETCH(int, expected);
        ProcessGrid grid;
        grid.setRow(5);
        QCOMPARE(grid.row(), 5);
        grid.setRow(request);
        QCOMPARE(grid.row(), expected);
        QCOMPARE(grid.col(), 0);
    }

    void setCol_data()
    {
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("expected");
        // The current column is 2 before each request.
        QTest::newRow("first") << 0 << 0;
        QTest::newRow("last") << 3 << 3;
        QTest::newRow("one past the last") << 4 << 2;
        QTest::newRow("minus one") << -1 << 2;
        QTest::newRow("largest") << INT_MAX << 2;
    }

    void setCol()
    {
        QFETCH(int, request);
        QFETCH(int, expected);
        ProcessGrid grid;
        grid.setCol(2);
        grid.setCol(request);
        QCOMPARE(grid.col(), expected);
        QCOMPARE(grid.row(), 0);
    }

    void setRows_data()
    {
        QTest::addColumn<int>("currentRow");
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("rowAfter");
        QTest::newRow("grow") << 50 << 200 << 200 << 50;
        QTest::newRow("grow by one") << 98 << 100 << 100 << 98;
        QTest::newRow("same") << 50 << 99 << 99 << 50;
        QTest::newRow("shrink below the current row") << 50 << 10 << 10 << 9;
        QTest::newRow("shrink to the current row") << 50 << 50 << 50 << 49;
        QTest::newRow("shrink above the current row") << 3 << 10 << 10 << 3;
        QTest::newRow("one") << 50 << 1 << 1 << 0;
        QTest::newRow("zero keeps one row") << 50 << 0 << 1 << 0;
        QTest::newRow("negative keeps one row") << 50 << -5 << 1 << 0;
        QTest::newRow("most negative keeps one row") << 50 << INT_MIN << 1 << 0;
    }

    void setRows()
    {
        QFETCH(int, currentRow);
        QFETCH(int, request);
        QFETCH(int, rows);
        QFETCH(int, rowAfter);

        ProcessGrid grid;
        fillAll(grid);
        grid.setRow(currentRow);
        grid.setCol(3);
        grid.setRows(request);
        QCOMPARE(grid.rows(), rows);
        QCOMPARE(grid.row(), rowAfter);
        QCOMPARE(grid.col(), 3);
        // The rows both sizes share keep their texts; new rows are empty.
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < ProcessGrid::kColumns; ++c)
                QCOMPARE(grid.textAt(r, c), r < 99 ? u"r%1c%2"_s.arg(r).arg(c) : QString());
        // The current cell can be written after any change of size.
        grid.setText(u"here"_s);
        QCOMPARE(grid.textAt(rowAfter, 3), u"here"_s);
    }

    void shrinkingForgetsTheRowsItDrops()
    {
        ProcessGrid grid;
        fillAll(grid);
        grid.setRows(10);
        grid.setRows(20);
        QCOMPARE(grid.textAt(9, 0), u"r9c0"_s);
        for (int r = 10; r < 20; ++r)
            for (int c = 0; c < ProcessGrid::kColumns; ++c)
                QCOMPARE(grid.textAt(r, c), QString());
    }

    void textAt_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first cell") << 0 << 0 << u"r0c0"_s;
        QTest::newRow("last cell") << 98 << 3 << u"r98c3"_s;
        QTest::newRow("row minus one") << -1 << 0 << QString();
        QTest::newRow("column minus one") << 0 << -1 << QString();
        QTest::newRow("row past the last") << 99 << 0 << QString();
        QTest::newRow("column past the last") << 0 << 4 << QString();
        QTest::newRow("both far out") << INT_MAX << INT_MIN << QString();
    }

    void textAt()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, expected);
        ProcessGrid grid;
        fillAll(grid);
        QCOMPARE(grid.textAt(row, col), expected);
    }

    void textIsTheCurrentCell()
    {
        ProcessGrid grid;
        fillAll(grid);
        grid.setRow(7);
        grid.setCol(2);
        QCOMPARE(grid.text(), u"r7c2"_s);
        grid.setText(u"new"_s);
        QCOMPARE(grid.textAt(7, 2), u"new"_s);
        QCOMPARE(grid.textAt(7, 1), u"r7c1"_s);
        QCOMPARE(grid.textAt(6, 2), u"r6c2"_s);
        QCOMPARE(grid.textAt(8, 2), u"r8c2"_s);
        QCOMPARE(grid.textAt(7, 3), u"r7c3"_s);
        grid.setText(QString());
        QCOMPARE(grid.text(), QString());
    }

    void observerHearsOfEveryChange()
    {
        ProcessGrid grid;
        QStringList log;
        ProcessGrid::Observer observer;
        observer.rowsAboutToChange = [&](int oldRows, int newRows) {
            log << u"about %1 %2 (now %3)"_s.arg(oldRows).arg(newRows).arg(grid.rows());
        };
        observer.rowsChanged = [&] { log << u"changed (now %1)"_s.arg(grid.rows()); };
        observer.cellChanged = [&](int r, int c) {
            log << u"cell %1 %2 = %3"_s.arg(r).arg(c).arg(grid.textAt(r, c));
        };
        observer.refreshRequested = [&] { log << u"refresh"_s; };
        grid.setObserver(observer);

        grid.setRow(4);
        grid.setCol(1);
        grid.setText(u"a"_s);
        grid.setText(u"a"_s); // no change
        grid.setText(QString());
        grid.setRows(99); // no change
        grid.setRows(120);
        grid.setRows(2);
        grid.setRows(0);
        grid.setRows(-1); // still one row: no change
        grid.refresh();
        QCOMPARE(log, (QStringList{u"cell 4 1 = a"_s, u"cell 4 1 = "_s, u"about 99 120 (now 99)"_s,
                                   u"changed (now 120)"_s, u"about 120 2 (now 120)"_s,
                                   u"changed (now 2)"_s, u"about 2 1 (now 2)"_s,
                                   u"changed (now 1)"_s, u"refresh"_s}));

        // Without an observer nothing is called.
        grid.setObserver({});
        log.clear();
        grid.setText(u"b"_s);
        grid.setRows(5);
        grid.refresh();
        QVERIFY(log.isEmpty());
        QCOMPARE(grid.textAt(0, 1), u"b"_s);
    }
};

} // namespace plenwick

QTEST_GUILESS_MAIN(plenwick::TestProcessGrid)

#include "test_processgrid.moc"

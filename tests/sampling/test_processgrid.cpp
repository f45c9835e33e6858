// The process table as the scan reads and writes it: a current cell that never leaves the
// grid, at least one row, safe reads anywhere, and the notifications the model relies on.

#include "sampling/processgrid.h"

#include <climits>
#include <QTest>

using namespace Qt::StringLiterals;

namespace plenwick {

class TestProcessGrid : public QObject {
    Q_OBJECT

    // Writes "r<row>c<col>" into every cell, leaving the current cell at 0, 0.
    static void fillAll(ProcessGrid &grid)
    {
        for (int r = 0; r < grid.rows(); ++r) {
            grid.setRow(r);
            for (int c = 0; c < ProcessGrid::kColumns; ++c) {
                grid.setCol(c);
                grid.setText(u"r%1c%2"_s.arg(r).arg(c));
            }
        }
        grid.setRow(0);
        grid.setCol(0);
    }

private slots:
    void outOfRangeCellIsIgnored_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("rowAfter");
        QTest::addColumn<int>("colAfter");
        // The current cell is 5, 2 before each request.
        QTest::newRow("last row and column") << 98 << 3 << 98 << 3;
        QTest::newRow("one past both") << 99 << 4 << 5 << 2;
        QTest::newRow("minus one") << -1 << -1 << 5 << 2;
        QTest::newRow("extremes") << INT_MAX << INT_MIN << 5 << 2;
    }

    void outOfRangeCellIsIgnored()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        ProcessGrid grid;
        QCOMPARE(grid.rows(), 99);
        fillAll(grid);
        grid.setRow(5);
        grid.setCol(2);
        grid.setRow(row);
        grid.setCol(col);
        QTEST(grid.row(), "rowAfter");
        QTEST(grid.col(), "colAfter");
        // Reading outside the grid gives an empty text.
        const bool inside = row >= 0 && row < 99 && col >= 0 && col < 4;
        QCOMPARE(grid.textAt(row, col), inside ? u"r%1c%2"_s.arg(row).arg(col) : QString());
    }

    void setRows_data()
    {
        QTest::addColumn<int>("currentRow");
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("rowAfter");
        QTest::newRow("grow") << 50 << 200 << 200 << 50;
        QTest::newRow("shrink to the current row") << 50 << 50 << 50 << 49;
        QTest::newRow("shrink above the current row") << 3 << 10 << 10 << 3;
        QTest::newRow("zero keeps one row") << 50 << 0 << 1 << 0;
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
        // Shared rows keep their texts; new rows are empty.
        for (int r = 0; r < rows; ++r)
            QCOMPARE(grid.textAt(r, 3), r < 99 ? u"r%1c3"_s.arg(r) : QString());
        // The current cell can be written after any change of size.
        grid.setText(u"here"_s);
        QCOMPARE(grid.textAt(rowAfter, 3), u"here"_s);
        // Rows dropped and grown again come back empty.
        grid.setRows(120);
        QCOMPARE(grid.textAt(rows, 0), QString());
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
        grid.setRows(0);
        grid.setRows(-1); // still one row: no change
        grid.refresh();
        QCOMPARE(log, (QStringList{u"cell 4 1 = a"_s, u"cell 4 1 = "_s, u"about 99 120 (now 99)"_s,
                                   u"changed (now 120)"_s, u"about 120 1 (now 120)"_s,
                                   u"changed (now 1)"_s, u"refresh"_s}));
    }
};

} // namespace plenwick

QTEST_GUILESS_MAIN(plenwick::TestProcessGrid)

#include "test_processgrid.moc"

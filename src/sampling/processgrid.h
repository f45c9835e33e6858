#pragma once

#include "scansnapshot.h"

#include <functional>
#include <QList>
#include <QString>
#include <QStringList>

namespace plenwick {

// The process table as the scan writes it: a grid of texts with a current row and a
// current column, read and written through the current cell. Row 0 is the heading.
// It holds no widget, so it can be filled and checked without a display; the data
// window shows it.
class ProcessGrid {
public:
    static constexpr int kColumns = 4;
    static constexpr int kDesignRows = 99;

    ProcessGrid();

    int rows() const { return static_cast<int>(m_cells.size()); }
    // Grows or shrinks the grid; new rows are empty. At least one row stays.
    void setRows(int count);

    int row() const { return m_row; }
    int col() const { return m_col; }
    // Values outside the grid are ignored.
    void setRow(int row);
    void setCol(int col);

    // The current cell.
    QString text() const { return textAt(m_row, m_col); }
    void setText(const QString &text);

    QString textAt(int row, int col) const;

    // Asks whoever shows the grid to repaint it.
    void refresh();

    // Writes a scan into the grid: the heading row, one row per process from row 1 on
    // (growing the grid as the scan needs) and, unless the process list could not be
    // read, blanks the rows that an earlier scan with more processes left behind.
    void showScan(const ScanSnapshot &scan);

    // The size column's text: the size in kilobytes, shortest form, then "k".
    static QString sizeText(ByteCount bytes);

    // Who shows the grid hears of every change here.
    struct Observer {
        std::function<void(int oldRows, int newRows)> rowsAboutToChange;
        std::function<void()> rowsChanged;
        std::function<void(int row, int col)> cellChanged;
        std::function<void()> refreshRequested;
    };
    void setObserver(Observer observer) { m_observer = std::move(observer); }

private:
    QList<QStringList> m_cells;
    int m_row = 0;
    int m_col = 0;
    Observer m_observer;
};

} // namespace plenwick

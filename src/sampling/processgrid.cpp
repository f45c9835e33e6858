#include "processgrid.h"

#include "platform/toolkit/numberformat.h"

#include <algorithm>

namespace plenwick {

using namespace Qt::StringLiterals;

ProcessGrid::ProcessGrid()
{
    m_cells.resize(kDesignRows, QStringList(kColumns, QString()));
}

void ProcessGrid::setRows(int count)
{
    count = std::max(1, count);
    const int old = rows();
    if (count == old)
        return;
    if (m_observer.rowsAboutToChange)
        m_observer.rowsAboutToChange(old, count);
    m_cells.resize(count, QStringList(kColumns, QString()));
    m_row = std::min(m_row, count - 1);
    if (m_observer.rowsChanged)
        m_observer.rowsChanged();
}

void ProcessGrid::setRow(int row)
{
    if (row >= 0 && row < rows())
        m_row = row;
}

void ProcessGrid::setCol(int col)
{
    if (col >= 0 && col < kColumns)
        m_col = col;
}

void ProcessGrid::setText(const QString &text)
{
    QString &cell = m_cells[m_row][m_col];
    if (cell == text)
        return;
    cell = text;
    if (m_observer.cellChanged)
        m_observer.cellChanged(m_row, m_col);
}

QString ProcessGrid::textAt(int row, int col) const
{
    if (row < 0 || row >= rows() || col < 0 || col >= kColumns)
        return {};
    return m_cells[row][col];
}

void ProcessGrid::refresh()
{
    if (m_observer.refreshRequested)
        m_observer.refreshRequested();
}

QString ProcessGrid::sizeText(ByteCount bytes)
{
    return shortestDecimal(static_cast<double>(bytes) / 1024.0) + u"k"_s;
}

void ProcessGrid::showScan(const ScanSnapshot &scan)
{
    refresh();
    setRow(0);
    const QString headings[] = {u"Process ID"_s, u"Filename"_s, u"Size"_s, u"Work Directory"_s};
    for (int col = 0; col < kColumns; ++col) {
        setCol(col);
        setText(headings[col]);
    }
    if (rows() < scan.minimumGridRows)
        setRows(scan.minimumGridRows);
    for (const ProcessRow &process : scan.rows) {
        setRow(m_row + 1);
        const QString texts[] = {QString::number(process.pid), process.name, sizeText(process.size),
                                 process.directory};
        for (int col = 0; col < kColumns; ++col) {
            setCol(col);
            setText(texts[col]);
        }
    }
    if (scan.enumerationFailed)
        return;

    // Blank the rows that a scan with more processes left behind: from the row after
    // the last one written down to the first row whose last column is empty, never
    // past the grid's last row.
    if (m_row + 1 >= rows())
        return;
    setRow(m_row + 1);
    for (;;) {
        for (int col = 0; col < kColumns; ++col) {
            setCol(col);
            setText(QString());
        }
        if (m_row + 1 >= rows())
            break;
        setRow(m_row + 1);
        if (text().isEmpty())
            break;
    }
}

} // namespace plenwick

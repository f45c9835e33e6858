#include "processgrid.h"

#include <algorithm>

namespace plenwick {

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

} // namespace plenwick

#include "processgridmodel.h"

#include "platform/os/systemtext.h"

#include <algorithm>
#include <QApplication>
#include <QPalette>

namespace plenwick {

// The grid's row 0 is the heading; the model's row r is the grid's row r + 1.

ProcessGridModel::ProcessGridModel(ProcessGrid &grid, QObject *parent)
    : QAbstractTableModel(parent), m_grid(grid)
{
    ProcessGrid::Observer observer;
    observer.rowsAboutToChange = [this](int oldRows, int newRows) {
        flushChanges();
        if (newRows > oldRows)
            beginInsertRows({}, oldRows - 1, newRows - 2);
        else
            beginRemoveRows({}, newRows - 1, oldRows - 2);
    };
    observer.rowsChanged = [this, wasRows = m_grid.rows()]() mutable {
        // The grid has already changed its size; end what rowsAboutToChange began.
        if (m_grid.rows() > wasRows)
            endInsertRows();
        else
            endRemoveRows();
        wasRows = m_grid.rows();
    };
    observer.cellChanged = [this](int row, int col) { noteChange(row, col); };
    observer.refreshRequested = [this] { flushChanges(); };
    m_grid.setObserver(std::move(observer));
}

ProcessGridModel::~ProcessGridModel()
{
    m_grid.setObserver({});
}

int ProcessGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid.rows() - 1;
}

int ProcessGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ProcessGrid::kColumns;
}

QVariant ProcessGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const QString text = m_grid.textAt(index.row() + 1, index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return text;
    case Qt::ToolTipRole:
        // A tooltip that looks like markup would be shown as rich text: names and
        // directories come from the system and must show as the characters they are.
        return text.isEmpty() ? QVariant() : QVariant(plainToolTip(text));
    default:
        return {};
    }
}

QVariant ProcessGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ProcessGrid::kColumns)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return m_grid.textAt(0, section);
    case Qt::BackgroundRole:
        return QApplication::palette().brush(QPalette::Button);
    case Qt::ForegroundRole:
        return QApplication::palette().brush(QPalette::ButtonText);
    default:
        return {};
    }
}

Qt::ItemFlags ProcessGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void ProcessGridModel::noteChange(int row, int)
{
    if (row == 0) {
        m_headingChanged = true;
    } else {
        m_dirtyTop = m_dirtyTop < 0 ? row : std::min(m_dirtyTop, row);
        m_dirtyBottom = std::max(m_dirtyBottom, row);
    }
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &ProcessGridModel::flushChanges, Qt::QueuedConnection);
    }
}

void ProcessGridModel::flushChanges()
{
    m_flushQueued = false;
    if (m_headingChanged) {
        m_headingChanged = false;
        emit headerDataChanged(Qt::Horizontal, 0, ProcessGrid::kColumns - 1);
    }
    if (m_dirtyTop < 0)
        return;
    const int top = std::min(m_dirtyTop, m_grid.rows() - 1) - 1;
    const int bottom = std::min(m_dirtyBottom, m_grid.rows() - 1) - 1;
    m_dirtyTop = m_dirtyBottom = -1;
    if (top <= bottom)
        emit dataChanged(index(top, 0), index(bottom, ProcessGrid::kColumns - 1));
}

} // namespace plenwick

#pragma once

#include "processgrid.h"

#include <QAbstractTableModel>

namespace plenwick {

// Shows a process grid in a table view: the grid's row 0 is the view's column
// heading, its rows from 1 on are the model's rows. Cell changes are gathered and
// announced once the event loop runs, so a scan that writes thousands of cells costs
// the view one update.
class ProcessGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ProcessGridModel(ProcessGrid &grid, QObject *parent = nullptr);
    ~ProcessGridModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Announces the gathered cell changes now.
    void flushChanges();

private:
    void noteChange(int row, int col);

    ProcessGrid &m_grid;
    int m_dirtyTop = -1, m_dirtyBottom = -1;
    bool m_headingChanged = false;
    bool m_flushQueued = false;
};

} // namespace plenwick

#pragma once

#include "processgrid.h"

#include <QAbstractTableModel>

namespace plenwick {

// Shows a process grid in a table view. Row 0 is the heading row, drawn in the
// button face's colours. Cell changes are gathered and announced once the event
// loop runs, so a scan that writes thousands of cells costs the view one update.
class ProcessGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ProcessGridModel(ProcessGrid &grid, QObject *parent = nullptr);
    ~ProcessGridModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Announces the gathered cell changes now.
    void flushChanges();

private:
    void noteChange(int row, int col);

    ProcessGrid &m_grid;
    int m_dirtyTop = -1, m_dirtyBottom = -1;
    bool m_flushQueued = false;
};

} // namespace plenwick

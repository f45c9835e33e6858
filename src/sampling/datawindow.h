#pragma once

#include "platform/toolkit/windowgeometry.h"
#include "processgrid.h"

#include <QWidget>

class QLabel;
class QTableView;

namespace plenwick {

class ProcessGridModel;
class SettingsStore;

// The data window: the memory figures and the process table behind the chart.
// It keeps the stored rectangle: every activation puts it back there.
class frmData : public QWidget {
    Q_OBJECT
public:
    frmData(SettingsStore &store, QWidget *parent = nullptr);
    ~frmData() override;

    // The process table, filled by the scan whether the window is shown or not.
    ProcessGrid &grid() { return m_grid; }

    QLabel *Label1 = nullptr; // total physical memory
    QLabel *Label2 = nullptr; // available physical memory
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QTableView *Grid1 = nullptr;

    WindowGeometry &geometryTwips() { return *m_geometry; }

    void formLoad();
    void Form_Activate();
    void Form_Resize();

    // The grid's size in twips, as the window set it last.
    double gridWidthTwips() const { return m_gridWidth; }
    double gridHeightTwips() const { return m_gridHeight; }

signals:
    void unloaded();

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    SettingsStore &m_store;
    ProcessGrid m_grid;
    ProcessGridModel *m_model = nullptr;
    WindowGeometry *m_geometry = nullptr;
    double m_gridWidth = 0, m_gridHeight = 0;
};

} // namespace plenwick

#pragma once

#include "platform/toolkit/windowgeometry.h"
#include "processgrid.h"
#include "scansnapshot.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QTableView;
class QWindow;

namespace plenwick {

class ProcessGridModel;
class SettingsStore;

// The data window: the memory figures and the process table behind the chart.
// It keeps the stored rectangle: every time it becomes active after another window
// of the program was, it goes back there.
class frmData : public QWidget {
    Q_OBJECT
public:
    frmData(SettingsStore &store, QWidget *parent = nullptr);
    ~frmData() override;

    // The total and available physical memory, as the last memory tick read them.
    void setMemoryFigures(ByteCount total, ByteCount available);
    // Fills the process table from a scan, whether the window is shown or not.
    void showScan(const ScanSnapshot &scan);
    // The process table as the scans left it.
    const ProcessGrid &grid() const { return m_grid; }

    WindowGeometry &geometryTwips() { return *m_geometry; }

    void formLoad();
    void Form_Activate();
    void Form_Resize();

signals:
    void unloaded();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void focusWindowChanged(QWindow *now);
    void fitHeadings();

    SettingsStore &m_store;
    ProcessGrid m_grid;
    ProcessGridModel *m_model = nullptr;
    WindowGeometry *m_geometry = nullptr;
    QLabel *Label1 = nullptr; // total physical memory
    QLabel *Label2 = nullptr; // available physical memory
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QTableView *Grid1 = nullptr;
    // The window of this program that had the focus last, if any.
    QPointer<QWindow> m_lastFocus;
};

} // namespace plenwick

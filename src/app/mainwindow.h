#pragma once

#include "chart/chartcontrols.h"
#include "chart/chartplotter.h"
#include "mainlayout.h"
#include "platform/toolkit/formref.h"
#include "platform/toolkit/windowgeometry.h"
#include "sampling/datawindow.h"
#include "sampling/processscan.h"
#include "splashwindow.h"
#include "windows/aboutwindow.h"
#include "windows/helppictures.h"
#include "windows/helpwindow.h"
#include "windows/mainwindowlink.h"
#include "windows/preferenceswindow.h"

#include <memory>
#include <QMainWindow>
#include <QTimer>

class QAction;
class QFrame;
class QMenu;
class QPushButton;
class QScrollBar;

namespace plenwick {

class DesktopShell;
class PictureBox;
class ProcessSource;
class SettingsStore;

// The main window: the memory chart in its viewport, the scroll bar, the command
// buttons and the menus. It is the program's start-up object and owns the other
// windows, each loaded when first referred to.
class frmMain : public QMainWindow, public MainWindowLink {
    Q_OBJECT
public:
    struct Services {
        ProcessSource &processes;
        SettingsStore &settings;
        DesktopShell &shell;
        // Pictures of the program's windows for the help page; may be empty.
        HelpPictureProvider helpPictures;
        // Shows the splash window at start-up.
        bool withSplash = true;
        // Lets pending events run at the start of each memory tick.
        bool yieldOnTick = true;
    };

    explicit frmMain(Services services);
    ~frmMain() override;

    // Start-up: runs once, when the program starts.
    void formLoad();

    // The other windows. Referring to one loads it, hidden, when it is not loaded.
    frmPreferences *preferences() { return m_preferences.get(); }
    frmData *dataWindow() { return m_data.get(); }
    frmAbout *aboutWindow() { return m_about.get(); }
    frmHelp *helpWindow() { return m_help.get(); }
    // The same, or null when not loaded; never loads.
    frmPreferences *loadedPreferences() const { return m_preferences.loaded(); }
    frmData *loadedDataWindow() const { return m_data.loaded(); }
    frmAbout *loadedAboutWindow() const { return m_about.loaded(); }
    frmHelp *loadedHelpWindow() const { return m_help.loaded(); }
    frmSplash *loadedSplash() const { return m_splash.loaded(); }

    WindowGeometry &geometryTwips() { return *m_geometry; }

    // What the preferences window asks of the main window.
    void timerTrigger() override;
    void forceResize() override;
    void setTimerInterval(std::int64_t milliseconds) override;
    std::int64_t timerInterval() const override;
    void checkMagnificationItem(int magnification) override;

    // The magnification, held by the preferences window's slider.
    int magnification();

    // The program has begun to end: nothing scans any more.
    bool isEnding() const { return m_ending; }

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Commands.
    void Command1_Click(); // Refresh
    void Command2_Click(); // Close
    void cmdGet_Click();   // Get Proceses: the scan alone
    void Command4_Click(); // View Data
    void Command5_Click(); // Preferences
    void Command6_Click(); // Help: the about window
    void mnuExit_Click();
    void mnuPreferences_Click();
    void mnuViewData_Click();
    void mnuRefresh_Click();
    void mnuMagnification_Click(int magnification);
    void mnuAbout_Click();
    void mnuHelp_Click();

    // The refresh cycle.
    void Timer1_Timer();

    // Layout and scrolling.
    void Form_Resize();
    void HScroll1_Change();
    void HScroll1_Scroll();
    // The inner area's height in pixels.
    int scaleHeight() const;

    // Controls, named as in the design.
    QFrame *PicScroll = nullptr;
    PictureBox *Picture1 = nullptr;
    QScrollBar *HScroll1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *cmdGet = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command5 = nullptr;
    QPushButton *Command6 = nullptr;
    QAction *mnuExit = nullptr;
    QAction *mnuPreferences = nullptr;
    QAction *mnuViewData = nullptr;
    QAction *mnuRefresh = nullptr;
    QAction *mnu1x = nullptr;
    QAction *mnu2x = nullptr;
    QAction *mnu3x = nullptr;
    QAction *mnu4x = nullptr;
    QAction *mnuAbout = nullptr;
    QAction *mnuHelp = nullptr;
    QTimer Timer1;

    // The controls on the chart picture, placed by the layout and the plotting.
    ChartControls chartControls;

    void buildControls();
    void buildMenus();
    void connectMenuItem(QAction *item, void (frmMain::*handler)());
    void reportEnumerationFailure();
    void Form_QueryUnload();
    void endProgram();
    void setPicture1Left(double twips);
    void setFormLeft(double twips);
    void setFormTop(double twips);
    void setFormWidth(double twips);
    void setFormHeight(double twips);
    void restoreGeometry();

    Services m_services;
    WindowGeometry *m_geometry = nullptr;
    std::unique_ptr<ChartPlotter> m_plotter;
    std::unique_ptr<ProcessScan> m_scan;
    // The memory status as the last memory tick read it, in bytes.
    ByteCount m_totalPhysical = 0;
    ByteCount m_availablePhysical = 0;
    bool m_memoryRead = false;
    MainLayout m_layout;
    double m_picture1Left = 0;
    QMenu *m_magnificationMenu = nullptr;
    QWidget *m_viewport = nullptr;

    FormRef<frmPreferences> m_preferences;
    FormRef<frmData> m_data;
    FormRef<frmAbout> m_about;
    FormRef<frmHelp> m_help;
    FormRef<frmSplash> m_splash;

    bool m_enumerationFailurePending = false;
    bool m_ending = false;
    bool m_queryUnloadDone = false;
    int m_tickDepth = 0;
};

} // namespace plenwick

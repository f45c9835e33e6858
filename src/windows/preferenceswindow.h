#pragma once

#include "lampwidget.h"
#include "persistence.h"

#include <QWidget>

class QButtonGroup;
class QCloseEvent;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QTimer;

namespace plenwick {

class MainWindowLink;
class SettingsStore;
class WindowGeometry;

// The preferences window: the chart's magnification (slider, 1x to 4x) and the rate of
// the memory tick (disabled, every n seconds, every n minutes), plus the refresh lamp
// that every memory tick lights. Its controls hold these settings for the whole run:
// the main window reads the magnification here, and the option buttons and boxes set
// its timer.
//
// Handlers nest as the controls raise them: a box text set from code runs the box's
// Change handler at once, and setting an option true from code runs its Click handler
// (see setOptionValue).
//
// The constructor builds the window in its design state only; formLoad() applies the
// stored settings. Closing (close box or Escape) saves them and destroys the window (it
// announces that with unloaded()).
class frmPreferences : public QWidget {
    Q_OBJECT
public:
    frmPreferences(SettingsStore &store, MainWindowLink &main, QWidget *parent = nullptr);
    ~frmPreferences() override;

    // Load: places the window and applies the stored settings through the handlers.
    void formLoad();

    // The magnification, 1 to 4. Setting a different value runs the magnification
    // update (the main window re-lays out at once).
    int magnification() const;
    void setMagnification(int n);
    // What the end of the run saves: the slider, the options and the box texts as they
    // stand. The about window's check box is not this window's, so activeHyperlink is false.
    PreferencesValues values() const;
    // What every memory tick does here: lights the lamp for half a second.
    void lightIndicator();
    // The window's outer position in twips, as saved at the end of the run.
    WindowGeometry &geometryTwips() { return *m_geometry; }

signals:
    // The window has accepted a close; it is destroyed once control returns to the
    // event loop.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Close-time saving: the "Preferences" keys, the window position, the
    // magnification menu.
    void formQueryUnload();

    void sliZoom_Change();
    void sliZoom_Scroll();
    void optRefresh1_Click();
    void optRefresh2_Click();
    void optRefresh3_Click();
    void txtRefresh1_Change();
    void txtRefresh2_Change();
    void Timer1_Timer();

    // Sets option 1, 2 or 3 from code. True selects it (clearing the other two) and
    // always runs its Click handler, even when it was selected already; false clears it
    // (leaving possibly no option selected) and runs nothing.
    void setOptionValue(int which, bool value);
    QRadioButton *option(int which) const;
    void runOptionClick(int which);
    // The body of the seconds and minutes Click handlers.
    void applyRefreshRow(QLineEdit *box, int unitMilliseconds);
    void fitZoomLabel();
    void showLamp(bool lit);

    QGroupBox *Frame1 = nullptr;
    QSlider *sliZoom = nullptr;
    QLabel *lblZoom = nullptr;
    QGroupBox *Frame2 = nullptr;
    QRadioButton *optRefresh1 = nullptr;
    QRadioButton *optRefresh2 = nullptr;
    QRadioButton *optRefresh3 = nullptr;
    QLineEdit *txtRefresh1 = nullptr;
    QLineEdit *txtRefresh2 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    LampWidget *Shape1 = nullptr;
    QLabel *Label3 = nullptr;
    QTimer *Timer1 = nullptr;

    SettingsStore &m_store;
    MainWindowLink &m_main;
    WindowGeometry *m_geometry = nullptr;
    QButtonGroup *m_options = nullptr;
    // Non-zero while code changes the option buttons, so that their toggling is not
    // taken for a user's click.
    int m_optionsSetByCode = 0;
    // The design's centre of lblZoom in pixels; the label keeps it as it fits its text.
    int m_zoomLabelCentre = 0;
    bool m_unloaded = false;
};

} // namespace plenwick

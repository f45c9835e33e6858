#pragma once

#include <cstdint>

namespace plenwick {

// What the secondary windows ask of the main window.
class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;

    // Runs one memory tick now, whatever the timer's state.
    virtual void timerTrigger() = 0;
    // Runs the main window's layout once (it reads the magnification and re-plots).
    virtual void forceResize() = 0;
    // The main window timer's interval in milliseconds; 0 stops the periodic tick.
    // Setting it starts the period afresh.
    virtual void setTimerInterval(std::int64_t milliseconds) = 0;
    virtual std::int64_t timerInterval() const = 0;
    // Checks the magnification menu item of `magnification` (1 to 4) and clears the
    // other three.
    virtual void checkMagnificationItem(int magnification) = 0;
};

} // namespace plenwick

#pragma once

namespace plenwick {

// Gives every window of the program the face and size its controls were laid out
// for, whatever the desktop's default font is.
void useDesignFont();

// Runs the program: sets up the application object, loads the main window (the
// start-up object) and runs the event loop until the main window ends the program.
int runApplication(int argc, char *argv[]);

} // namespace plenwick

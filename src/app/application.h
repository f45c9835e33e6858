#pragma once

namespace plenwick {

// Runs the program: sets up the application object, loads the main window (the
// start-up object) and runs the event loop until the main window ends the program.
int runApplication(int argc, char *argv[]);

} // namespace plenwick

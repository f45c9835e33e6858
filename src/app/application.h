#pragma once

#include <QString>

namespace plenwick {

// Gives every window of the program the face and size its controls were laid out
// for, whatever the desktop's default font is.
void useDesignFont();

// Runs the program: sets up the application object, loads the main window (the
// start-up object) and runs the event loop until the main window ends the program.
// The processes are those of the proc file system at `procRoot`, which only tests set.
int runApplication(int argc, char *argv[], const QString &procRoot = QStringLiteral("/proc"));

} // namespace plenwick

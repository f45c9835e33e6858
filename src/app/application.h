#pragma once

#include <QString>
#include <QStringList>

class QProcessEnvironment;

namespace plenwick {

// The window platform to ask for when the user has chosen none: in a Wayland session
// with an X display at hand, X through XWayland first (a native Wayland client cannot
// place its windows; the program keeps and restores their places), native Wayland when
// no X server answers. Empty when the toolkit's own choice stands: the user named a
// platform (QT_QPA_PLATFORM or -platform), or the session is not Wayland.
QString preferredPlatform(const QProcessEnvironment &environment, const QStringList &arguments);

// Gives every window of the program the face and size its controls were laid out
// for, whatever the desktop's default font is.
void useDesignFont();

// Runs the program: sets up the application object, loads the main window (the
// start-up object) and runs the event loop until the main window ends the program.
// The processes are those of the proc file system at `procRoot`, which only tests set.
int runApplication(int argc, char *argv[], const QString &procRoot = QStringLiteral("/proc"));

} // namespace plenwick

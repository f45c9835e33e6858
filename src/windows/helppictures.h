#pragma once

#include <functional>
#include <QPixmap>

namespace plenwick {

// The pictures on the help page: the program's own windows.
enum class HelpPicture { MainWindow, Preferences, DataWindow };

// Makes a picture of one of the program's windows at the given size in logical pixels,
// drawn at the given device pixel ratio (so that it stays sharp on a dense screen).
using HelpPictureProvider = std::function<QPixmap(HelpPicture, QSize, qreal)>;

} // namespace plenwick

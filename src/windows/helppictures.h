#pragma once

#include <functional>
#include <QList>
#include <QPixmap>
#include <QRect>

namespace plenwick {

// The pictures on the help page: the program's own windows.
enum class HelpPicture { MainWindow, Preferences, DataWindow };

// Makes a picture of one of the program's windows at the given size in logical pixels,
// drawn at the given device pixel ratio (so that it stays sharp on a dense screen). The
// rectangles, in the picture's logical pixels, are where the page's texts lie on it: the
// picture leaves them white and arranges what it shows around them.
using HelpPictureProvider =
    std::function<QPixmap(HelpPicture, QSize, qreal, const QList<QRect> &captions)>;

} // namespace plenwick

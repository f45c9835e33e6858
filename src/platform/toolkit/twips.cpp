#include "twips.h"

#include <algorithm>
#include <cmath>
#include <QGuiApplication>
#include <QScreen>

namespace plenwick {

namespace {
QScreen *primaryScreen()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance())
               ? QGuiApplication::primaryScreen()
               : nullptr;
}
} // namespace

TwipsPerPixel screenTwipsPerPixel()
{
    const QScreen *screen = primaryScreen();
    if (!screen)
        return {};
    const double dpiX = screen->logicalDotsPerInchX();
    const double dpiY = screen->logicalDotsPerInchY();
    return {dpiX > 0 ? 1440.0 / dpiX : 15.0, dpiY > 0 ? 1440.0 / dpiY : 15.0};
}

int twipsToPixels(double twips, double twipsPerPixel)
{
    const double px = twips / twipsPerPixel;
    if (std::isnan(px))
        return 0;
    return static_cast<int>(std::lround(std::clamp(px, -1.0e6, 1.0e6)));
}

QRect twipsToPixels(double left, double top, double width, double height)
{
    const TwipsPerPixel f = screenTwipsPerPixel();
    return {twipsToPixels(left, f.x), twipsToPixels(top, f.y), twipsToPixels(width, f.x),
            twipsToPixels(height, f.y)};
}

double screenWidthTwips()
{
    const QScreen *screen = primaryScreen();
    return screen ? screen->geometry().width() * screenTwipsPerPixel().x : 0.0;
}

double screenHeightTwips()
{
    const QScreen *screen = primaryScreen();
    return screen ? screen->geometry().height() * screenTwipsPerPixel().y : 0.0;
}

} // namespace plenwick

#pragma once

#include "platform/toolkit/twips.h"

#include <array>

namespace plenwick {

// The main window's layout as numbers, worked out without touching a widget, so
// that it can be checked for any window size and magnification. Three scales meet:
// the window's outer size in twips, its inner area and the controls on it in pixels,
// the viewport's inside (the chart picture's place and the scroll values) in twips,
// and the chart picture's inside in pixels.
struct MainLayoutInput {
    double outerWidthTwips = 0;  // W
    double outerHeightTwips = 0; // H
    TwipsPerPixel twips;         // tx, ty
    int scaleHeight = 0;         // SH: the inner area's height in pixels
    int magnification = 1;       // 1 to 4
    int viewportBorder = 2;      // the viewport's border on each side, in pixels
};

struct LinePoints {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct MainLayout {
    // Whether the layout runs at all: not below 68 pixels of inner height.
    bool runs = false;

    // The viewport, pixels on the window: design left and top, computed size.
    float picScrollLeft = 8, picScrollTop = 8;
    float picScrollWidth = 0, picScrollHeight = 0;
    // Its size as the widget gets it, in whole pixels.
    int picScrollWidthPx = 0, picScrollHeightPx = 0;
    // The viewport's inner width in twips (its ScaleWidth).
    double picScrollScaleWidth = 0;

    // The chart picture in the viewport's twips, and its whole-pixel size
    // (its ScaleWidth and ScaleHeight).
    float picture1Width = 0, picture1Height = 0;
    int picture1WidthPx = 0, picture1HeightPx = 0;

    // The scroll bar, pixels on the window; its range in twips.
    bool scrollVisible = false;
    float scrollLeft = 8, scrollTop = 0, scrollWidth = 0, scrollHeight = 17;
    int scrollMax = 0;

    // The six buttons' top-left corners in pixels, left to right.
    std::array<float, 6> buttonLeft{};
    float buttonTop = 0;

    // The bar outline's nine edges, pixels in the chart picture.
    std::array<LinePoints, 9> barOutline{};
};

MainLayout computeMainLayout(const MainLayoutInput &in);

} // namespace plenwick

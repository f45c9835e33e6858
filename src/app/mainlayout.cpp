#include "mainlayout.h"

#include <algorithm>
#include <cmath>

namespace plenwick {

namespace {
int wholePixels(double px)
{
    return static_cast<int>(std::clamp(std::lround(px), 0L, 1000000L));
}
} // namespace

MainLayout computeMainLayout(const MainLayoutInput &in)
{
    MainLayout out;
    const double tx = in.twips.x, ty = in.twips.y;
    const double w = in.outerWidthTwips, h = in.outerHeightTwips;

    out.runs = in.scaleHeight >= 68;
    if (!out.runs)
        return out;

    // Viewport: the window's outer size less fixed margins, in pixels.
    out.picScrollWidth = static_cast<float>(w / tx - 25);
    out.picScrollHeight = static_cast<float>(h / ty - 95);
    out.picScrollWidthPx = wholePixels(out.picScrollWidth);
    out.picScrollHeightPx = wholePixels(out.picScrollHeight);
    out.picScrollScaleWidth = std::max(0, out.picScrollWidthPx - 2 * in.viewportBorder) * tx;

    // Chart picture: the window's outer width times the magnification, as tall as
    // the viewport.
    out.picture1Width = static_cast<float>((w / tx) * in.magnification * tx);
    out.picture1Height = static_cast<float>(ty * out.picScrollHeight);
    out.picture1WidthPx = wholePixels(out.picture1Width / tx);
    out.picture1HeightPx = wholePixels(out.picture1Height / ty);

    out.scrollVisible = out.picture1Width > out.picScrollWidth * tx;
    out.scrollTop = out.picScrollTop + out.picScrollHeight;
    out.scrollWidth = out.picScrollWidth;

    for (int i = 0; i < 6; ++i)
        out.buttonLeft[static_cast<std::size_t>(i)] = out.picScrollLeft + 85.0f * i;
    out.buttonTop = static_cast<float>(in.scaleHeight - 30);

    // Bar outline, each edge from those set before it.
    const auto sw = static_cast<float>(out.picture1WidthPx);
    const auto sp = static_cast<float>(out.picture1HeightPx);
    auto &e = out.barOutline;
    e[0] = {20, sp - 30, sw - 100, sp - 30};
    e[3] = {e[0].x1, e[0].y1, e[0].x1, e[0].y1 - 66};
    e[4] = {e[0].x2, e[0].y2, e[0].x2, e[0].y2 - 66};
    e[6] = {e[3].x2, e[3].y2, e[3].x2 + 33, e[3].y2 - 25};
    e[7] = {e[4].x2, e[4].y2, e[4].x2 + 33, e[4].y2 - 25};
    e[8] = {e[4].x1, e[4].y1, e[4].x1 + 33, e[4].y1 - 25};
    e[5] = {e[7].x2, e[7].y2, e[8].x2, e[8].y2};
    e[1] = {e[6].x1, e[6].y1, e[7].x1, e[7].y1};
    e[2] = {e[6].x2, e[6].y2, e[7].x2, e[7].y2};

    // Scroll range: all of the chart that does not fit into the viewport, so that
    // the scroll bar's end shows the chart's right end at any magnification.
    const auto d = static_cast<float>(out.picture1Width - out.picScrollScaleWidth);
    out.scrollMax =
        d > 0 ? static_cast<int>(std::clamp(std::nearbyint(static_cast<double>(d)), 0.0, 2.0e9))
              : 0;
    return out;
}

} // namespace plenwick

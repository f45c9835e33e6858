#pragma once

#include "vbcolor.h"

#include <QRect>

class QImage;

namespace plenwick {

// Draws a straight line, both end points included, into an RGB32 image whose pixels
// are `scale` device pixels per logical pixel (each logical pixel becomes a
// scale × scale block). End points are logical coordinates rounded to the nearest
// pixel; the pixels between follow Bresenham's rule, so the same line always covers
// the same pixels. Pixels outside the image are left alone; a line with an end point
// that is not a number is not drawn. Returns the bounds, in logical pixels, of the
// pixels whose colour changed (empty when the image already showed the line).
//
// A watcher, when given, is told of each logical pixel just before it takes a new
// colour.
class PixelWatcher {
public:
    virtual void beforeChange(int x, int y) = 0;

protected:
    ~PixelWatcher() = default;
};
QRect rasterLine(QImage &image, int scale, double x1, double y1, double x2, double y2,
                 VbColor color, PixelWatcher *watcher = nullptr);

// Draws `count` copies of a line side by side, the first where given and each next one
// pixel further right: the pixels rasterLine would draw for them one by one, and the
// bounds of those that changed. With whole-number x ends, each copy covers the first's
// pixels moved right, so that each row of the line is filled as one span.
QRect rasterLineRun(QImage &image, int scale, double x1, double y1, double x2, double y2, int count,
                    VbColor color, PixelWatcher *watcher = nullptr);

} // namespace plenwick

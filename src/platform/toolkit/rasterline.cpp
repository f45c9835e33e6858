#include "rasterline.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <QImage>

namespace plenwick {

namespace {

// Lines whose ends lie further out than this are first cut to a box around the image,
// so that a wild coordinate can never make the loop below run for ages.
constexpr double kReach = 1.0e5;

bool clipToBox(double &x1, double &y1, double &x2, double &y2, double lo, double hiX, double hiY)
{
    // Liang-Barsky against [lo, hiX] x [lo, hiY].
    double t0 = 0.0, t1 = 1.0;
    const double dx = x2 - x1, dy = y2 - y1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - lo, hiX - x1, y1 - lo, hiY - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            if (t > t1)
                return false;
            if (t > t0)
                t0 = t;
        } else {
            if (t < t0)
                return false;
            if (t < t1)
                t1 = t;
        }
    }
    const double nx1 = x1 + t0 * dx, ny1 = y1 + t0 * dy;
    x2 = x1 + t1 * dx;
    y2 = y1 + t1 * dy;
    x1 = nx1;
    y1 = ny1;
    return true;
}

// The image's pixels, taken once per line: asking the image for a row detaches it.
struct Pixels {
    uchar *bits;
    qsizetype stride;
    int scale, w, h;

    void plot(int x, int y, std::uint32_t argb) const
    {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return;
        if (scale == 1) {
            reinterpret_cast<std::uint32_t *>(bits + y * stride)[x] = argb;
            return;
        }
        for (int dy = 0; dy < scale; ++dy) {
            auto *row = reinterpret_cast<std::uint32_t *>(bits + (y * scale + dy) * stride);
            for (int dx = 0; dx < scale; ++dx)
                row[x * scale + dx] = argb;
        }
    }
};

} // namespace

void rasterLine(QImage &image, int scale, double x1, double y1, double x2, double y2, VbColor color)
{
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
        return;
    if (image.isNull() || scale < 1)
        return;
    const int w = image.width() / scale;
    const int h = image.height() / scale;
    const double far = kReach + std::max(w, h);
    if (std::abs(x1) > far || std::abs(y1) > far || std::abs(x2) > far || std::abs(y2) > far) {
        if (!clipToBox(x1, y1, x2, y2, -kReach, w + kReach, h + kReach))
            return;
    }
    int x = static_cast<int>(std::lround(x1));
    int y = static_cast<int>(std::lround(y1));
    const int xEnd = static_cast<int>(std::lround(x2));
    const int yEnd = static_cast<int>(std::lround(y2));
    const std::uint32_t argb = argbOf(color);
    const Pixels px{image.bits(), image.bytesPerLine(), scale, w, h};

    if (x == xEnd) {
        // Vertical lines are most of the chart: walk the column directly.
        if (x < 0 || x >= w)
            return;
        int from = std::max(0, std::min(y, yEnd));
        int to = std::min(h - 1, std::max(y, yEnd));
        for (int yy = from; yy <= to; ++yy)
            px.plot(x, yy, argb);
        return;
    }

    const int dx = std::abs(xEnd - x), sx = x < xEnd ? 1 : -1;
    const int dy = -std::abs(yEnd - y), sy = y < yEnd ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        px.plot(x, y, argb);
        if (x == xEnd && y == yEnd)
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

} // namespace plenwick

#include "rasterline.h"

#include <algorithm>
#include <climits>
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

// Gives a logical pixel's block of scale x scale device pixels, from its top left one,
// a colour. Blocks are always written whole, so a block's first device pixel tells its
// colour.
inline void fillBlock(uchar *block, qsizetype stride, int scale, std::uint32_t argb)
{
    for (int row = 0; row < scale; ++row)
        std::fill_n(reinterpret_cast<std::uint32_t *>(block + row * stride), scale, argb);
}

// The image's pixels, taken once per line: asking the image for a row detaches it.
// Keeps the extent of the pixels that took a new colour.
struct Pixels {
    uchar *bits;
    qsizetype stride;
    int scale, w, h;
    PixelWatcher *watcher;
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;

    void plot(int x, int y, std::uint32_t argb)
    {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return;
        uchar *block = bits + qsizetype(y) * scale * stride + qsizetype(x) * scale * 4;
        if (*reinterpret_cast<const std::uint32_t *>(block) == argb)
            return;
        if (watcher)
            watcher->beforeChange(x, y);
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        fillBlock(block, stride, scale, argb);
    }

    QRect changed() const
    {
        return right < left ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
    }
};

// Bresenham's walk from one pixel to another, both included: each step moves to the
// next pixel of the line, in x, in y or in both.
struct Walk {
    int x, y;
    const int xEnd, yEnd;
    const int dx, sx, dy, sy;
    int err;

    Walk(int x0, int y0, int x1, int y1)
        : x(x0), y(y0), xEnd(x1), yEnd(y1), dx(std::abs(x1 - x0)), sx(x0 < x1 ? 1 : -1),
          dy(-std::abs(y1 - y0)), sy(y0 < y1 ? 1 : -1), err(dx + dy)
    {}
    bool atEnd() const { return x == xEnd && y == yEnd; }
    struct Moved {
        bool x, y;
    };
    Moved step()
    {
        const int e2 = 2 * err;
        const Moved moved{e2 >= dy, e2 <= dx};
        if (moved.x) {
            err += dy;
            x += sx;
        }
        if (moved.y) {
            err += dx;
            y += sy;
        }
        return moved;
    }
};

} // namespace

QRect rasterLine(QImage &image, int scale, double x1, double y1, double x2, double y2,
                 VbColor color, PixelWatcher *watcher)
{
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
        return {};
    if (image.isNull() || scale < 1)
        return {};
    const int w = image.width() / scale;
    const int h = image.height() / scale;
    const double far = kReach + std::max(w, h);
    if (std::abs(x1) > far || std::abs(y1) > far || std::abs(x2) > far || std::abs(y2) > far) {
        if (!clipToBox(x1, y1, x2, y2, -kReach, w + kReach, h + kReach))
            return {};
    }
    const int x = static_cast<int>(std::lround(x1));
    const int y = static_cast<int>(std::lround(y1));
    const int xEnd = static_cast<int>(std::lround(x2));
    const int yEnd = static_cast<int>(std::lround(y2));
    const std::uint32_t argb = argbOf(color);
    Pixels px{image.bits(), image.bytesPerLine(), scale, w, h, watcher};

    if (x == xEnd) {
        // Vertical lines are most of the chart: walk the column directly.
        if (x < 0 || x >= w)
            return {};
        const int from = std::max(0, std::min(y, yEnd));
        const int to = std::min(h - 1, std::max(y, yEnd));
        int firstChanged = -1, lastChanged = -1;
        const qsizetype step = px.stride * scale;
        uchar *block = px.bits + from * step + qsizetype(x) * scale * 4;
        for (int yy = from; yy <= to; ++yy, block += step) {
            if (*reinterpret_cast<const std::uint32_t *>(block) == argb)
                continue;
            if (watcher)
                watcher->beforeChange(x, yy);
            if (firstChanged < 0)
                firstChanged = yy;
            lastChanged = yy;
            fillBlock(block, px.stride, scale, argb);
        }
        return firstChanged < 0 ? QRect()
                                : QRect(x, firstChanged, 1, lastChanged - firstChanged + 1);
    }

    Walk walk(x, y, xEnd, yEnd);
    if (x >= 0 && x < w && y >= 0 && y < h && xEnd >= 0 && xEnd < w && yEnd >= 0 && yEnd < h) {
        // Wholly inside (the bar's diagonals): no pixel needs its own bounds check, and
        // as x and y only ever move one way, the first and last pixels that changed
        // span all that did.
        const qsizetype stepX = qsizetype(walk.sx) * scale * 4;
        const qsizetype stepY = qsizetype(walk.sy) * scale * px.stride;
        uchar *block = px.bits + qsizetype(y) * scale * px.stride + qsizetype(x) * scale * 4;
        QPoint first(-1, -1), last;
        for (;;) {
            if (*reinterpret_cast<const std::uint32_t *>(block) != argb) {
                if (watcher)
                    watcher->beforeChange(walk.x, walk.y);
                if (first.x() < 0)
                    first = QPoint(walk.x, walk.y);
                last = QPoint(walk.x, walk.y);
                fillBlock(block, px.stride, scale, argb);
            }
            if (walk.atEnd())
                break;
            const Walk::Moved moved = walk.step();
            block += (moved.x ? stepX : 0) + (moved.y ? stepY : 0);
        }
        return first.x() < 0 ? QRect() : QRect(first, last).normalized();
    }
    for (;;) {
        px.plot(walk.x, walk.y, argb);
        if (walk.atEnd())
            break;
        walk.step();
    }
    return px.changed();
}

QRect rasterLineRun(QImage &image, int scale, double x1, double y1, double x2, double y2, int count,
                    VbColor color, PixelWatcher *watcher)
{
    if (count <= 0 || image.isNull() || scale < 1)
        return {};
    const int w = image.width() / scale;
    const int h = image.height() / scale;
    const double far = kReach + std::max(w, h);
    const auto near = [far](double v) { return std::isfinite(v) && std::abs(v) <= far; };
    if (!near(x1) || !near(y1) || !near(x2) || !near(y2) || x1 != std::floor(x1) ||
        x2 != std::floor(x2)) {
        // Ends that round differently once moved, or that need cutting: one by one.
        QRect changed;
        for (int k = 0; k < count; ++k)
            changed |= rasterLine(image, scale, x1 + k, y1, x2 + k, y2, color, watcher);
        return changed;
    }
    // Bresenham's walk from the first copy's ends, as rasterLine takes it: the pixels
    // one line puts on a row are side by side, so the copies make one span per row.
    Walk walk(static_cast<int>(x1), static_cast<int>(std::lround(y1)), static_cast<int>(x2),
              static_cast<int>(std::lround(y2)));
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const std::uint32_t argb = argbOf(color);
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    int rowFrom = walk.x, rowTo = walk.x;
    const auto fillRow = [&](int row) {
        if (row < 0 || row >= h)
            return;
        const int from = std::max(rowFrom, 0);
        const auto to = static_cast<int>(std::min<qint64>(qint64(rowTo) + count - 1, w - 1));
        uchar *line = bits + qsizetype(row) * scale * stride;
        int firstChanged = -1, lastChanged = -1;
        for (int column = from; column <= to; ++column) {
            uchar *block = line + qsizetype(column) * scale * 4;
            if (*reinterpret_cast<const std::uint32_t *>(block) == argb)
                continue;
            if (watcher)
                watcher->beforeChange(column, row);
            if (firstChanged < 0)
                firstChanged = column;
            lastChanged = column;
            fillBlock(block, stride, scale, argb);
        }
        if (firstChanged < 0)
            return;
        left = std::min(left, firstChanged);
        right = std::max(right, lastChanged);
        top = std::min(top, row);
        bottom = std::max(bottom, row);
    };
    while (!walk.atEnd()) {
        const int row = walk.y;
        if (walk.step().y) {
            fillRow(row);
            rowFrom = rowTo = walk.x;
        } else {
            rowFrom = std::min(rowFrom, walk.x);
            rowTo = std::max(rowTo, walk.x);
        }
    }
    fillRow(walk.y);
    return right < left ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace plenwick

#include "picturebox.h"

#include "pictureboxaccessible.h"
#include "platform/os/systemtext.h"
#include "rasterline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <QAccessible>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QToolTip>

namespace plenwick {

PictureBox::PictureBox(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    installPictureBoxAccessibility();
    fitImage();
}

void PictureBox::setBackColor(VbColor color)
{
    m_backColor = color;
    // What is not drawn on takes the new colour at the next erase.
    m_inked = QRect(0, 0, width(), height());
    update();
}

namespace {

// Beyond this a backing image is not even tried: the drawing surface cannot address
// longer sides, and an image this large would only fill memory.
constexpr int kMaxImageSide = 32767;
constexpr qint64 kMaxImageBytes = qint64(1) << 28;

} // namespace

void PictureBox::fitImage()
{
    const int scale = std::max(1, static_cast<int>(std::lround(devicePixelRatioF())));
    const QSize wanted(std::max(1, width()) * scale, std::max(1, height()) * scale);
    // A size is asked for once: when the image could not be had, drawing stays a quiet
    // no-op until the size changes, instead of trying again for every line.
    if (m_imageSize == wanted && m_scale == scale)
        return;
    m_imageSize = wanted;
    QImage fresh;
    if (wanted.width() <= kMaxImageSide && wanted.height() <= kMaxImageSide &&
        qint64(wanted.width()) * wanted.height() * 4 <= kMaxImageBytes)
        fresh = QImage(wanted, QImage::Format_RGB32);
    if (!fresh.isNull()) {
        fresh.fill(argbOf(m_backColor));
        if (!m_image.isNull() && scale == m_scale) {
            // Keep what was drawn where it still fits, as a persistent picture does.
            QPainter p(&fresh);
            p.drawImage(0, 0, m_image);
        } else {
            m_inked = QRect();
        }
    }
    m_image = std::move(fresh);
    m_scale = scale;
    m_inked &= QRect(0, 0, wanted.width() / scale, wanted.height() / scale);
    // What was kept belongs to the picture before: the new one is repainted whole, as
    // a resized widget is anyway.
    forgetTiles();
    m_changed = QRect(0, 0, wanted.width() / scale, wanted.height() / scale);
    m_wholeRepaintDue = true;
    if (!m_image.isNull()) {
        m_tilesAcross = (m_image.width() / scale + kTile - 1) / kTile;
        m_tilesDown = (m_image.height() / scale + kTile - 1) / kTile;
        m_tileKeptIn.assign(std::size_t(m_tilesAcross) * std::size_t(m_tilesDown), 0);
    }
}

void PictureBox::forgetTiles()
{
    m_keptTiles.clear();
    m_keptPixels.clear();
    m_tilesAcross = m_tilesDown = 0;
    m_tileKeptIn.clear();
    m_generation = 1;
}

void PictureBox::beforeChange(int x, int y)
{
    const auto within = [x, y](const QRect &r) {
        return x >= r.left() && x <= r.right() && y >= r.top() && y <= r.bottom();
    };
    if (within(m_changed) || within(m_repaintDue))
        return;
    const int tx = x / kTile, ty = y / kTile;
    std::uint32_t &keptIn = m_tileKeptIn[std::size_t(ty * m_tilesAcross + tx)];
    if (keptIn == m_generation)
        return;
    keptIn = m_generation;
    m_keptTiles.push_back(ty * m_tilesAcross + tx);
    const std::size_t at = m_keptPixels.size();
    m_keptPixels.resize(at + kTile * kTile);
    const int w = m_image.width() / m_scale, h = m_image.height() / m_scale;
    const uchar *bits = m_image.constBits();
    const qsizetype stride = m_image.bytesPerLine();
    const int x0 = tx * kTile, columns = std::min(kTile, w - x0);
    for (int row = ty * kTile, i = 0; i < kTile && row < h; ++row, ++i) {
        // A logical pixel's block is one colour: its first device pixel tells it.
        const auto *line =
            reinterpret_cast<const std::uint32_t *>(bits + qsizetype(row) * m_scale * stride);
        std::uint32_t *kept = m_keptPixels.data() + at + i * kTile;
        for (int c = 0; c < columns; ++c)
            kept[c] = line[(x0 + c) * m_scale];
    }
}

void PictureBox::takeTileChanges(std::vector<QRect> &areas)
{
    const int w = m_image.width() / m_scale, h = m_image.height() / m_scale;
    const uchar *bits = m_image.constBits();
    const qsizetype stride = m_image.bytesPerLine();
    for (std::size_t k = 0; k < m_keptTiles.size(); ++k) {
        const int tx = m_keptTiles[k] % m_tilesAcross, ty = m_keptTiles[k] / m_tilesAcross;
        const std::uint32_t *kept = m_keptPixels.data() + k * kTile * kTile;
        const int x0 = tx * kTile, columns = std::min(kTile, w - x0);
        int left = kTile, right = -1, top = kTile, bottom = -1;
        for (int y = ty * kTile, i = 0; i < kTile && y < h; ++y, ++i) {
            const auto *line =
                reinterpret_cast<const std::uint32_t *>(bits + qsizetype(y) * m_scale * stride);
            for (int x = 0; x < columns; ++x) {
                if (kept[i * kTile + x] == line[(x0 + x) * m_scale])
                    continue;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, i);
                bottom = i;
            }
        }
        if (right >= 0)
            areas.push_back(QRect(x0 + left, ty * kTile + top, right - left + 1, bottom - top + 1));
    }
    m_keptTiles.clear();
    m_keptPixels.clear();
    // A new generation leaves every tile unkept; on the rare wrap, mark them so again.
    if (++m_generation == 0) {
        std::fill(m_tileKeptIn.begin(), m_tileKeptIn.end(), 0);
        m_generation = 1;
    }
}

void PictureBox::cls()
{
    fitImage();
    if (m_image.isNull())
        return;
    // Only where something was drawn can the picture differ from the back colour.
    const QRect device =
        QRect(m_inked.topLeft() * m_scale, m_inked.size() * m_scale) & m_image.rect();
    const std::uint32_t back = argbOf(m_backColor);
    uchar *bits = m_image.bits();
    for (int y = device.top(); y <= device.bottom(); ++y) {
        auto *row = reinterpret_cast<std::uint32_t *>(bits + y * m_image.bytesPerLine());
        std::fill_n(row + device.left(), device.width(), back);
    }
    m_changed |= m_inked;
    m_inked = QRect();
    updateChanged();
}

void PictureBox::updateChanged()
{
    m_areas.clear();
    if (!m_changed.isEmpty())
        m_areas.push_back(m_changed);
    m_repaintDue |= m_changed;
    m_changed = QRect();
    m_wholeRepaintDue = m_repaintDue.contains(QRect(QPoint(0, 0), m_imageSize / m_scale));
    takeTileChanges(m_areas);
    for (const ControlLayer *layer : m_layers)
        layer->takeChangedAreas(m_areas);
    if (m_areas.empty())
        return;
    // Scattered changes are repainted one by one, many at once as one rectangle.
    constexpr std::size_t kMostRects = 48;
    if (m_areas.size() > kMostRects) {
        QRect all;
        for (const QRect &area : m_areas)
            all |= area;
        update(all);
        return;
    }
    QRegion region;
    for (const QRect &area : m_areas)
        region += area;
    update(region);
}

PixelWatcher *PictureBox::watcherFor(double left, double top, double right, double bottom)
{
    // A hidden widget gets its resize event only when it is shown: a line drawn after
    // a resize belongs to the picture of the new size all the same.
    if (m_imageSize != QSize(std::max(1, width()), std::max(1, height())) * m_scale)
        fitImage();
    // A line that lies wholly where a repaint is due anyway (after an erase or a new
    // image) is not watched.
    if (m_tileKeptIn.empty() || m_wholeRepaintDue)
        return nullptr;
    if (m_changed.isEmpty() && m_repaintDue.isEmpty())
        return this;
    // Ends are rounded to the nearest pixel, so the pixels of the part within the
    // picture lie within these bounds (false for a coordinate that is not a number).
    const double w = m_imageSize.width() / m_scale - 1, h = m_imageSize.height() / m_scale - 1;
    left = std::max(left, 0.0);
    right = std::min(right, w);
    top = std::max(top, 0.0);
    bottom = std::min(bottom, h);
    const auto within = [&](const QRect &r) {
        return left >= r.left() && right <= r.right() && top >= r.top() && bottom <= r.bottom();
    };
    return within(m_changed) || within(m_repaintDue) ? nullptr : this;
}

void PictureBox::line(double x1, double y1, double x2, double y2, VbColor color)
{
    PixelWatcher *watcher =
        watcherFor(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
    m_inked |= rasterLine(m_image, m_scale, x1, y1, x2, y2, color, watcher);
}

void PictureBox::lineRun(double x1, double y1, double x2, double y2, int count, VbColor color)
{
    if (count <= 0)
        return;
    PixelWatcher *watcher = watcherFor(std::min(x1, x2), std::min(y1, y2),
                                       std::max(x1, x2) + (count - 1), std::max(y1, y2));
    m_inked |= rasterLineRun(m_image, m_scale, x1, y1, x2, y2, count, color, watcher);
}

void PictureBox::addLayer(const ControlLayer *layer, bool accessible)
{
    m_layers.push_back(layer);
    if (accessible)
        m_accessibleLayers.push_back(layer);
    update();
}

std::vector<ControlLayer::AccessibleItem> PictureBox::accessibleItems() const
{
    std::vector<ControlLayer::AccessibleItem> items;
    for (const ControlLayer *layer : m_accessibleLayers)
        layer->collectAccessibleItems(items);
    return items;
}

void PictureBox::notifyAccessibleChildrenChanged()
{
    tellPictureBoxChanges(this);
}

QImage PictureBox::drawing() const
{
    if (m_scale == 1)
        return m_image;
    return m_image.scaled(m_image.width() / m_scale, m_image.height() / m_scale,
                          Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

VbColor PictureBox::pixelAt(int x, int y) const
{
    const QPoint device(x * m_scale, y * m_scale);
    if (!m_image.valid(device))
        return m_backColor;
    const QRgb px = m_image.pixel(device);
    return rgb(qRed(px), qGreen(px), qBlue(px));
}

void PictureBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitImage();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    fitImage();
    // Whatever part of the picture is not painted now is painted whole once it shows.
    m_repaintDue = QRect();
    m_wholeRepaintDue = false;
    QPainter painter(this);
    // The drawing under each part of the region, then each control that meets any part
    // of it, once (the painter is clipped to the region).
    const QRegion region = event->region();
    for (const QRect &exposed : region) {
        const QRect source(exposed.x() * m_scale, exposed.y() * m_scale, exposed.width() * m_scale,
                           exposed.height() * m_scale);
        if (m_image.isNull())
            painter.fillRect(exposed, toQColor(m_backColor));
        else
            painter.drawImage(QRectF(exposed), m_image, QRectF(source));
    }
    for (const ControlLayer *layer : m_layers)
        layer->paint(painter, region);
}

bool PictureBox::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QPointF pos = help->pos();
        for (auto it = m_layers.rbegin(); it != m_layers.rend(); ++it) {
            if (auto tip = (*it)->toolTipAt(pos)) {
                QToolTip::showText(help->globalPos(), plainToolTip(*tip), this);
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMovedTo(event->position());
    QWidget::mouseMoveEvent(event);
}

} // namespace plenwick

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
    m_changed = QRect();
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

void PictureBox::line(double x1, double y1, double x2, double y2, VbColor color)
{
    // A hidden widget gets its resize event only when it is shown: a line drawn after
    // a resize belongs to the picture of the new size all the same.
    if (m_imageSize != QSize(std::max(1, width()), std::max(1, height())) * m_scale)
        fitImage();
    const QRect changed = rasterLine(m_image, m_scale, x1, y1, x2, y2, color);
    m_changed |= changed;
    m_inked |= changed;
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

#include "controls.h"

#include <algorithm>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

namespace plenwick {

void LineControl::paint(QPainter &painter) const
{
    QPen pen(toQColor(borderColor));
    pen.setWidth(borderWidth);
    pen.setCapStyle(Qt::SquareCap);
    painter.setPen(pen);
    painter.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

QRectF LineControl::bounds() const
{
    const float pad = static_cast<float>(borderWidth);
    return QRectF(QPointF(std::min(x1, x2) - pad, std::min(y1, y2) - pad),
                  QPointF(std::max(x1, x2) + pad, std::max(y1, y2) + pad));
}

void ShapeControl::paint(QPainter &painter) const
{
    painter.setPen(QPen(toQColor(borderColor), 1));
    painter.setBrush(toQColor(backColor));
    const QRectF r(left, top, std::max(0.0f, width - 1), std::max(0.0f, height - 1));
    if (kind == Kind::Circle)
        painter.drawEllipse(r);
    else
        painter.drawRect(r);
}

LabelControl::LabelControl() : m_font(std::make_shared<const FontInfo>(QFont())) {}

void LabelControl::setCaption(const QString &caption)
{
    m_caption = caption;
    m_layoutStale = true;
    if (m_autoSize)
        fitToCaption();
}

void LabelControl::setFont(const QFont &font)
{
    m_font = std::make_shared<const FontInfo>(font);
    m_layoutStale = true;
    if (m_autoSize)
        fitToCaption();
}

void LabelControl::setAutoSize(bool on)
{
    m_autoSize = on;
    if (on)
        fitToCaption();
}

void LabelControl::setSize(float width, float height)
{
    m_autoSize = false;
    m_width = width;
    m_height = height;
}

void LabelControl::fitToCaption()
{
    m_width = static_cast<float>(m_font->metrics.horizontalAdvance(m_caption));
    m_height = static_cast<float>(m_font->metrics.height());
}

void LabelControl::paint(QPainter &painter) const
{
    painter.setFont(m_font->font);
    QColor color = toQColor(foreColor);
    if (!enabled)
        color = QGuiApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
    painter.setPen(color);
    if (m_layoutStale) {
        // Plain text: a caption that looks like markup is shown as it is.
        m_layout.setTextFormat(Qt::PlainText);
        m_layout.setText(m_caption);
        m_layout.setPerformanceHint(QStaticText::AggressiveCaching);
        m_layout.prepare(QTransform(), m_font->font);
        m_layoutStale = false;
    }
    painter.drawStaticText(QPointF(left, top), m_layout);
}

} // namespace plenwick

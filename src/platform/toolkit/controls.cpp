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

std::shared_ptr<LabelControl::CaptionLayout>
LabelControl::FontInfo::layoutOf(const QString &caption) const
{
    if (auto it = captions.find(caption); it != captions.end())
        return *it;
    // Bounded, so that a long run with ever new captions (sizes change from tick to
    // tick) does not grow without end, yet roomy enough for a chart's thousand labels
    // to stay measured from one generation to the next.
    constexpr qsizetype kGeneration = 1152;
    if (captions.size() >= kGeneration) {
        std::swap(captions, older);
        captions.clear();
    }
    if (auto old = older.find(caption); old != older.end())
        return *captions.insert(caption, *old);
    auto layout = std::make_shared<CaptionLayout>();
    layout->width = static_cast<float>(metrics.horizontalAdvance(caption));
    layout->text.setTextFormat(Qt::PlainText); // markup in a caption shows as it is
    layout->text.setText(caption);
    layout->text.setPerformanceHint(QStaticText::AggressiveCaching);
    return *captions.insert(caption, std::move(layout));
}

const LabelControl::CaptionLayout &LabelControl::layout() const
{
    if (!m_layout)
        m_layout = m_font->layoutOf(m_caption);
    return *m_layout;
}

void LabelControl::setCaption(const QString &caption)
{
    if (m_layout && caption == m_caption)
        return;
    m_caption = caption;
    m_layout.reset();
    if (m_autoSize)
        fitToCaption();
}

void LabelControl::setFont(const QFont &font)
{
    m_font = std::make_shared<const FontInfo>(font);
    m_layout.reset();
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
    m_width = layout().width;
    m_height = static_cast<float>(m_font->metrics.height());
}

bool LabelControl::looksLike(const LabelControl &other) const
{
    return left == other.left && top == other.top && visible == other.visible &&
           enabled == other.enabled && foreColor == other.foreColor && m_width == other.m_width &&
           m_height == other.m_height &&
           (m_font == other.m_font || m_font->font == other.m_font->font) &&
           m_caption == other.m_caption;
}

void LabelControl::paint(QPainter &painter) const
{
    painter.setFont(m_font->font);
    QColor color = toQColor(foreColor);
    if (!enabled)
        color = QGuiApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
    painter.setPen(color);
    const CaptionLayout &shown = layout();
    if (!shown.prepared) {
        m_layout->text.prepare(QTransform(), m_font->font);
        m_layout->prepared = true;
    }
    painter.drawStaticText(QPointF(left, top), shown.text);
}

} // namespace plenwick

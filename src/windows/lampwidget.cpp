#include "lampwidget.h"

#include <QPainter>

namespace plenwick {

LampWidget::LampWidget(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LampWidget::setFillColor(VbColor color)
{
    if (color == m_fillColor)
        return;
    m_fillColor = color;
    update();
}

void LampWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(toQColor(m_fillColor));
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace plenwick

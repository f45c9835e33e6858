#include "splashwindow.h"

#include "platform/toolkit/toolkit.h"
#include "platform/toolkit/twips.h"

#include <cmath>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>

namespace plenwick {

using namespace Qt::StringLiterals;

frmSplash::frmSplash(QWidget *mainWindow)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), m_mainWindow(mainWindow)
{
    setObjectName(u"frmSplash"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(applicationIcon());
    setWindowTitle(QString());
    const TwipsPerPixel tp = screenTwipsPerPixel();
    setFixedSize(static_cast<int>(std::lround(6855 / tp.x)),
                 static_cast<int>(std::lround(4410 / tp.y)));

    Picture = QPixmap(u":/plenwick/splash.png"_s);
    setAccessibleName(u"Plenwick"_s);

    Text1 = new QLineEdit(u"5"_s, this);
    Text1->setObjectName(u"Text1"_s);
    Text1->hide(); // it only counts; the picture covers the window

    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
}

void frmSplash::formLoad()
{
    show();
    const TwipsPerPixel tp = screenTwipsPerPixel();
    const double heightTwips = height() * tp.y, widthTwips = width() * tp.x;
    const double top = (screenHeightTwips() / 2 - heightTwips / 2) * 0.8;
    const double left = screenWidthTwips() / 2 - widthTwips / 2;
    // Where windows cannot place themselves the desktop places it.
    if (canPlaceWindows())
        move(static_cast<int>(std::lround(left / tp.x)), static_cast<int>(std::lround(top / tp.y)));
    Timer1.start();
}

void frmSplash::Timer1_Timer()
{
    const int remaining = Text1->text().toInt() - 1;
    Text1->setText(QString::number(remaining));
    if (remaining == 0) {
        Timer1.stop();
        if (m_mainWindow)
            m_mainWindow->show();
        close();
    }
}

void frmSplash::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    if (Picture.isNull())
        painter.fillRect(rect(), Qt::white);
    else
        painter.drawPixmap(rect(), Picture);
    const int half = kFrameWidth / 2;
    QPen pen(toQColor(kFrameColor), kFrameWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(half, half, -half, -half));
}

void frmSplash::closeEvent(QCloseEvent *event)
{
    Timer1.stop();
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit unloaded();
}

} // namespace plenwick

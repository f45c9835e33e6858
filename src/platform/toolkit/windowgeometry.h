#pragma once

#include "twips.h"

#include <cstdint>
#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSize>
#include <QWidget>

namespace plenwick {

// Brings a stored outer rectangle (twips) within the screens' available areas (pixels):
// width/height capped to the available area of the screen it mostly lies on (or the
// primary screen, the first of `availablePx`, when it lies on none), raised to
// `minimumPx` when smaller, and moved so that the whole frame, title bar included, is
// inside that area. NaN/inf count as 0. What already fits is returned unchanged.
QRectF fitStoredRect(const QRectF &outerTwips, const QList<QRect> &availablePx, TwipsPerPixel tp,
                     QSize minimumPx);
// The same against the current screens.
QRectF fitStoredRect(const QRectF &outerTwips, QSize minimumPx);

// A top-level window's outer position and size in twips, frame included.
//
// Twips are finer than pixels, so a value set here is remembered together with the
// pixel count it became; reading gives the same twips back as long as the window
// still has that pixel count, and the pixel count times the screen's factor once the
// user has moved or resized it. A window whose frame becomes known only after it is
// shown (the window manager adds it) keeps the outer size that was set: the inner
// size is adjusted once the frame is known, so stored sizes never creep run by run.
class WindowGeometry : public QObject {
    Q_OBJECT
public:
    explicit WindowGeometry(QWidget *window);

    double left() const;
    double top() const;
    double width() const;
    double height() const;

    void setLeft(double twips);
    void setTop(double twips);
    void setWidth(double twips);
    void setHeight(double twips);

    // The window frame's thickness in pixels as far as it is known.
    QMargins frameMargins() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Remembered {
        double twips = 0;
        int pixels = 0;
        bool valid = false;
    };
    double readBack(const Remembered &r, int pixels, double factor) const;
    void adoptFrameMargins();

    QPointer<QWidget> m_window;
    Remembered m_left, m_top, m_width, m_height;
    QMargins m_knownMargins;
    // Counts size changes, so that one made from inside another's resize wins.
    std::uint64_t m_generation = 0;
};

} // namespace plenwick

#include "windowgeometry.h"

#include "toolkit.h"
#include "twips.h"
#include "x11.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace plenwick {

namespace {

double finiteOrZero(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

// One axis of a stored rectangle, `start` and `length` in twips, fitted to the span of
// an available area in pixels: the length within [minimum, span], then the start
// moved so that the whole length lies in the span, or at its start when it is longer.
void fitAxis(double &start, double &length, int spanStart, int spanLength, int minimum,
             double twipsPerPixel)
{
    double px = length / twipsPerPixel;
    if (px > spanLength || px < minimum) {
        px = std::max<double>(std::min<double>(px, spanLength), minimum);
        length = px * twipsPerPixel;
    }
    const double startPx = start / twipsPerPixel;
    if (startPx < spanStart || startPx + px > spanStart + spanLength)
        start = std::max<double>(spanStart, std::min(startPx, spanStart + spanLength - px)) *
                twipsPerPixel;
}

// Whether the X window manager tells the thickness of its frames (_NET_FRAME_EXTENTS),
// as openbox and mutter do. Weston's does not, and the toolkit then takes the whole
// window that the manager wraps around the program's, the shadow it draws included,
// for the frame. Any other platform: its frame margins stand.
bool frameThicknessKnown()
{
    static const bool known = [] {
        xcb_connection_t *connection = x11::connection();
        if (!connection)
            return true;
        const xcb_atom_t supported = x11::atom(connection, "_NET_SUPPORTED");
        const xcb_atom_t extents = x11::atom(connection, "_NET_FRAME_EXTENTS");
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(connection, 0, root, supported, XCB_ATOM_ATOM, 0, 4096);
        xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
        bool found = false;
        if (reply && reply->format == 32) {
            const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
            const auto *end = atoms + xcb_get_property_value_length(reply) / 4;
            found = std::find(atoms, end, extents) != end;
        }
        std::free(reply);
        return found;
    }();
    return known;
}

double overlapArea(const QRectF &a, const QRectF &b)
{
    const QRectF common = a.intersected(b);
    return common.isValid() ? common.width() * common.height() : 0.0;
}

} // namespace

QRectF fitStoredRect(const QRectF &outerTwips, const QList<QRect> &availablePx, TwipsPerPixel tp,
                     QSize minimumPx)
{
    double left = finiteOrZero(outerTwips.x());
    double top = finiteOrZero(outerTwips.y());
    double width = finiteOrZero(outerTwips.width());
    double height = finiteOrZero(outerTwips.height());
    if (availablePx.isEmpty())
        return {left, top, width, height};

    const QRectF px(left / tp.x, top / tp.y, width / tp.x, height / tp.y);
    QRect area = availablePx.first();
    double bestOverlap = 0;
    for (const QRect &screen : availablePx) {
        if (const double overlap = overlapArea(px, screen); overlap > bestOverlap) {
            bestOverlap = overlap;
            area = screen;
        }
    }
    fitAxis(left, width, area.x(), area.width(), minimumPx.width(), tp.x);
    fitAxis(top, height, area.y(), area.height(), minimumPx.height(), tp.y);
    return {left, top, width, height};
}

QRectF fitStoredRect(const QRectF &outerTwips, QSize minimumPx)
{
    QList<QRect> available;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        // The primary screen first: a rectangle on no screen goes there.
        if (const QScreen *primary = QGuiApplication::primaryScreen())
            available.append(primary->availableGeometry());
        for (const QScreen *screen : QGuiApplication::screens())
            available.append(screen->availableGeometry());
    }
    return fitStoredRect(outerTwips, available, screenTwipsPerPixel(), minimumPx);
}

WindowGeometry::WindowGeometry(QWidget *window) : QObject(window), m_window(window)
{
    window->installEventFilter(this);
}

QMargins WindowGeometry::frameMargins() const
{
    // A frame whose thickness the window manager does not tell is taken as none: its
    // shadow is not taken off the stored size.
    if (!m_window || !frameThicknessKnown())
        return {};
    const QRect frame = m_window->frameGeometry();
    const QRect inner = m_window->geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

double WindowGeometry::readBack(const Remembered &r, int pixels, double factor) const
{
    if (r.valid && r.pixels == pixels)
        return r.twips;
    return pixels * factor;
}

double WindowGeometry::left() const
{
    return m_window ? readBack(m_left, m_window->x(), screenTwipsPerPixel().x) : 0.0;
}

double WindowGeometry::top() const
{
    return m_window ? readBack(m_top, m_window->y(), screenTwipsPerPixel().y) : 0.0;
}

double WindowGeometry::width() const
{
    if (!m_window)
        return 0.0;
    const QMargins frame = frameMargins();
    return readBack(m_width, m_window->width() + frame.left() + frame.right(),
                    screenTwipsPerPixel().x);
}

double WindowGeometry::height() const
{
    if (!m_window)
        return 0.0;
    const QMargins frame = frameMargins();
    return readBack(m_height, m_window->height() + frame.top() + frame.bottom(),
                    screenTwipsPerPixel().y);
}

void WindowGeometry::setLeft(double twips)
{
    if (!m_window || !canPlaceWindows())
        return;
    const int px = twipsToPixels(twips, screenTwipsPerPixel().x);
    m_left = {twips, px, true};
    m_window->move(px, m_window->y());
}

void WindowGeometry::setTop(double twips)
{
    if (!m_window || !canPlaceWindows())
        return;
    const int px = twipsToPixels(twips, screenTwipsPerPixel().y);
    m_top = {twips, px, true};
    m_window->move(m_window->x(), px);
}

void WindowGeometry::setWidth(double twips)
{
    if (!m_window)
        return;
    const int outer = std::max(1, twipsToPixels(twips, screenTwipsPerPixel().x));
    m_knownMargins = frameMargins();
    const int inner = std::max(1, outer - m_knownMargins.left() - m_knownMargins.right());
    // Remembered before resizing: the window's resize handler may set the width again,
    // and then its value is the one that stands.
    const std::uint64_t generation = ++m_generation;
    m_width = {twips, outer, true};
    m_window->resize(inner, m_window->height());
    if (generation == m_generation)
        m_width.pixels = m_window->width() + m_knownMargins.left() + m_knownMargins.right();
}

void WindowGeometry::setHeight(double twips)
{
    if (!m_window)
        return;
    const int outer = std::max(1, twipsToPixels(twips, screenTwipsPerPixel().y));
    m_knownMargins = frameMargins();
    const int inner = std::max(1, outer - m_knownMargins.top() - m_knownMargins.bottom());
    const std::uint64_t generation = ++m_generation;
    m_height = {twips, outer, true};
    m_window->resize(m_window->width(), inner);
    if (generation == m_generation)
        m_height.pixels = m_window->height() + m_knownMargins.top() + m_knownMargins.bottom();
}

void WindowGeometry::adoptFrameMargins()
{
    if (!m_window)
        return;
    const QMargins now = frameMargins();
    if (now == m_knownMargins)
        return;
    const QMargins before = m_knownMargins;
    m_knownMargins = now;
    // The window manager has framed the window since its size was set: keep the
    // outer size that was asked for, as long as the inner size is still the one given.
    QSize inner = m_window->size();
    if (m_width.valid && inner.width() + before.left() + before.right() == m_width.pixels)
        inner.setWidth(std::max(1, m_width.pixels - now.left() - now.right()));
    if (m_height.valid && inner.height() + before.top() + before.bottom() == m_height.pixels)
        inner.setHeight(std::max(1, m_height.pixels - now.top() - now.bottom()));
    if (inner != m_window->size())
        m_window->resize(inner);
}

bool WindowGeometry::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
            // The frame is known only once the window manager has framed the window.
            QTimer::singleShot(0, this, &WindowGeometry::adoptFrameMargins);
            QTimer::singleShot(150, this, &WindowGeometry::adoptFrameMargins);
            break;
        case QEvent::Move:
        case QEvent::Expose:
            adoptFrameMargins();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace plenwick

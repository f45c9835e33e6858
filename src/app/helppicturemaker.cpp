#include "helppicturemaker.h"

#include "mainwindow.h"
#include "platform/os/processsource.h"
#include "platform/settings/settingsstore.h"
#include "platform/toolkit/desktopshell.h"
#include "platform/toolkit/picturebox.h"
#include "platform/toolkit/toolkit.h"
#include "platform/toolkit/twips.h"

#include <algorithm>
#include <optional>
#include <QApplication>
#include <QMap>
#include <QMenuBar>
#include <QPainter>
#include <QPair>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// A small, fixed machine for the pictures: 4 GiB with a few programs running, no more
// slices than the pictured chart has label rows, so that no two labels meet, and enough
// memory free that the last label ends inside the chart.
class SampleProcesses : public ProcessSource {
public:
    struct Sample {
        ProcessId pid;
        const char16_t *name;
        const char16_t *directory;
        ByteCount size;
    };

    std::size_t enumProcesses(std::span<ProcessId> ids) override
    {
        std::size_t n = 0;
        for (const Sample &s : samples())
            if (n < ids.size())
                ids[n++] = s.pid;
        return n * sizeof(ProcessId);
    }

    std::unique_ptr<ProcessHandle> openProcess(ProcessId pid) override
    {
        for (const Sample &s : samples())
            if (s.pid == pid && s.name)
                return std::make_unique<Handle>(s);
        return nullptr;
    }

    std::optional<MemoryStatus> memoryStatus() override
    {
        return MemoryStatus{4LL << 30, 3400LL << 20};
    }

private:
    class Handle : public ProcessHandle {
    public:
        explicit Handle(const Sample &s) : m_sample(s) {}
        bool enumModules() override { return true; }
        std::optional<ByteCount> workingSetSize() override { return m_sample.size; }
        std::optional<QString> moduleBaseName() override
        {
            return QString::fromUtf16(m_sample.name);
        }
        std::optional<QString> moduleFileName() override
        {
            return QString::fromUtf16(m_sample.directory) + QString::fromUtf16(m_sample.name);
        }

    private:
        Sample m_sample;
    };

    static std::span<const Sample> samples()
    {
        static constexpr Sample list[] = {
            {640, u"Xorg", u"/usr/lib/xorg/", 120LL << 20},
            {1042, u"browser", u"/usr/lib/browser/", 250LL << 20},
            {1107, u"editor", u"/usr/bin/", 140LL << 20},
            {1622, u"plenwick", u"/usr/bin/", 24LL << 20},
        };
        return list;
    }
};

// Settings for the pictures only: nothing is read from or written to the user's.
class SampleSettings : public SettingsStore {
public:
    SampleSettings()
    {
        setValue(u"Preferences"_s, u"OptRefresh1"_s, u"True"_s);
        setValue(u"Preferences"_s, u"OptRefresh2"_s, u"False"_s);
    }
    std::optional<QString> value(const QString &section, const QString &key) const override
    {
        const auto it = m_values.constFind({section, key});
        return it == m_values.constEnd() ? std::nullopt : std::optional<QString>(*it);
    }
    void setValue(const QString &section, const QString &key, const QString &text) override
    {
        m_values.insert({section, key}, text);
    }

private:
    QMap<QPair<QString, QString>, QString> m_values;
};

constexpr int kCaptionHeight = 20;

// The face of the pictured windows' frames.
const QColor kPictureFace(212, 208, 200);

// The pictured windows are built and drawn under a light palette whatever the
// desktop's, since the help page's captions lie on the pictures in dark text. Parts of
// those windows read the application's palette itself, so that is the one swapped: for
// the making of one picture, and only when the desktop's is dark.
class LightPalette {
public:
    LightPalette()
        : m_saved(QApplication::palette()),
          m_swapped(m_saved.color(QPalette::Window).lightness() < 160)
    {
        if (m_swapped)
            QApplication::setPalette(QPalette(kPictureFace));
    }
    ~LightPalette()
    {
        if (m_swapped)
            QApplication::setPalette(m_saved);
    }
    LightPalette(const LightPalette &) = delete;
    LightPalette &operator=(const LightPalette &) = delete;

private:
    QPalette m_saved;
    bool m_swapped;
};

// A pixmap of `size` logical pixels drawn at `ratio` device pixels per logical pixel.
QPixmap densePixmap(QSize size, qreal ratio)
{
    QPixmap pixmap(QSizeF(QSizeF(size) * ratio).toSize());
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

// A window's picture as a screen shows it: its caption bar above its contents. All
// measures are logical pixels; the drawing is at `ratio`.
QPixmap framed(QWidget *window, bool withSizeButtons, qreal ratio)
{
    QPixmap inside = densePixmap(window->size(), ratio);
    inside.fill(kPictureFace);
    window->render(&inside);
    QPixmap out = densePixmap(window->size() + QSize(2, kCaptionHeight + 1), ratio);
    const QRect all(QPoint(0, 0), window->size() + QSize(2, kCaptionHeight + 1));
    out.fill(kPictureFace);
    QPainter p(&out);
    QLinearGradient bar(0, 0, all.width(), 0);
    bar.setColorAt(0, QColor(10, 36, 106));
    bar.setColorAt(1, QColor(166, 202, 240));
    p.fillRect(QRect(1, 1, all.width() - 2, kCaptionHeight - 2), bar);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(11);
    p.setFont(font);
    p.drawText(QRect(6, 1, all.width() - 60, kCaptionHeight - 2), Qt::AlignVCenter,
               window->windowTitle());
    const int buttons = withSizeButtons ? 3 : 1;
    for (int i = 0; i < buttons; ++i) {
        const QRect box(all.width() - 18 * (i + 1), 3, 16, 14);
        p.fillRect(box, kPictureFace);
        p.setPen(Qt::black);
        p.drawRect(box.adjusted(0, 0, -1, -1));
    }
    p.drawPixmap(1, kCaptionHeight, inside);
    p.setPen(QColor(64, 64, 64));
    p.drawRect(all.adjusted(0, 0, -1, -1));
    return out;
}

// The pictures' ground: the help page's white.
const QColor kGround(Qt::white);

// A picture of `size` logical pixels on the page's white ground.
QPixmap blankPicture(QSize size, qreal ratio)
{
    QPixmap out = densePixmap(size, ratio);
    out.fill(kGround);
    return out;
}

// Where a picture's texts leave room for the pictured window: below the lowest of
// those in the upper half and above the highest of those in the lower half.
struct Band {
    int top, bottom;
};

Band freeBand(const QList<QRect> &captions, QSize size)
{
    Band band{0, size.height()};
    for (const QRect &c : captions) {
        if (c.center().y() < size.height() / 2)
            band.top = std::max(band.top, c.bottom() + 4);
        else
            band.bottom = std::min(band.bottom, c.top() - 3);
    }
    return band;
}

// A thin pointer from a text's edge to the part it names, ending in a dot.
void pointTo(QPainter &p, const QRect &caption, QPointF target)
{
    const bool down = target.y() > caption.bottom();
    const QPointF from(std::clamp(target.x(), caption.left() + 4.0, caption.right() - 4.0),
                       down ? caption.bottom() + 3.0 : caption.top() - 3.0);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(96, 96, 96), 1));
    p.drawLine(from, target);
    p.setBrush(QColor(96, 96, 96));
    p.drawEllipse(target, 1.5, 1.5);
    p.restore();
}

// The text of `captions` whose span across is nearest to x, among those above (or
// below) y.
const QRect *nearestAcross(const QList<QRect> &captions, double x, double y, bool above)
{
    const QRect *best = nullptr;
    double bestDistance = 0;
    for (const QRect &c : captions) {
        if (above ? c.bottom() >= y : c.top() <= y)
            continue;
        const double d = x < c.left() ? c.left() - x : x > c.right() ? x - c.right() : 0;
        if (!best || d < bestDistance)
            best = &c, bestDistance = d;
    }
    return best;
}

// The centre of `child` in the picture of `window` framed at `origin`.
QPointF centreIn(QWidget *window, const QWidget *child, QPoint origin)
{
    return QPointF(child->mapTo(window, child->rect().center())) +
           QPointF(origin + QPoint(1, kCaptionHeight));
}

// A part of a window drawn at `scale` on a card of the window's face, its top-left at
// `at`.
void drawPart(QPainter &p, QWidget *part, QPointF at, qreal scale)
{
    const QSizeF size = QSizeF(part->size()) * scale;
    p.save();
    p.fillRect(QRectF(at, size), kPictureFace);
    p.translate(at);
    p.scale(scale, scale);
    part->render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    p.restore();
    p.setPen(QColor(128, 128, 128));
    p.drawRect(QRectF(at, size).adjusted(-0.5, -0.5, 0.5, 0.5));
}

// The main window between the texts above and below it, drawn a little smaller than
// life so that its chart has room for a label row per slice, with pointers from the
// texts to the menus, to a slice label, to the scroll bar and to the bar. The pointers
// from below pass between the buttons.
QPixmap mainPicture(frmMain &main, QSize size, qreal ratio, const QList<QRect> &captions)
{
    constexpr qreal scale = 0.8;
    const Band band = freeBand(captions, size);
    const TwipsPerPixel tp = screenTwipsPerPixel();
    main.formLoad();
    main.geometryTwips().setWidth((size.width() / scale - 2) * tp.x);
    main.geometryTwips().setHeight(((band.bottom - band.top) / scale - kCaptionHeight - 1) * tp.y);
    main.forceResize();
    QPixmap out = blankPicture(size, ratio);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap window = framed(&main, true, ratio);
    p.drawPixmap(QRectF(QPointF(0, band.top), window.deviceIndependentSize() * scale), window,
                 QRectF(window.rect()));
    // A point of the main window's inside, in the picture.
    const auto at = [&](QPointF inside) {
        return QPointF(0, band.top) + (inside + QPointF(1, kCaptionHeight)) * scale;
    };
    const auto *picture = main.findChild<PictureBox *>(u"Picture1"_s);
    const QPointF chart = picture->mapTo(&main, QPoint());
    // Where a pointer from `caption` below passes between two buttons.
    std::vector<double> gaps;
    const QWidget *left = nullptr;
    for (const char16_t *name :
         {u"Command1", u"Command2", u"cmdGet", u"Command4", u"Command5", u"Command6"}) {
        const auto *button = main.findChild<QWidget *>(QString::fromUtf16(name));
        if (left && button)
            gaps.push_back(
                at(QPointF(left->geometry().right() + button->geometry().left(), 0) / 2).x());
        left = button;
    }
    const auto between = [&](const QRect &caption) {
        double best = caption.center().x();
        for (const double x : gaps)
            if (x > caption.left() + 4 && x < caption.right() - 4 &&
                (best == caption.center().x() ||
                 std::abs(x - caption.center().x()) < std::abs(best - caption.center().x())))
                best = x;
        return best;
    };

    std::vector<std::pair<const QRect *, QPointF>> pointers;
    if (const QWidget *menus = main.menuBar()) {
        const QPointF target = at(QPointF(menus->mapTo(&main, QPoint())) + QPointF(40, 4));
        pointers.emplace_back(nearestAcross(captions, target.x(), band.top, true), target);
    }
    // A slice label under the text in the middle above.
    if (const QRect *c = nearestAcross(captions, size.width() / 2.0, band.top, true)) {
        std::optional<QPointF> nearest;
        for (const auto &item : picture->accessibleItems()) {
            const QPointF label = at(chart + item.bounds.topLeft() + QPointF(6, 0));
            if (item.name.endsWith(u"Kb)"_s) &&
                (!nearest ||
                 std::abs(label.x() - c->center().x()) < std::abs(nearest->x() - c->center().x())))
                nearest = label;
        }
        if (nearest)
            pointers.emplace_back(c, *nearest);
    }
    if (const auto *bar = main.findChild<QWidget *>(u"HScroll1"_s); bar && bar->isVisible()) {
        const QPointF centre = at(bar->geometry().center());
        if (const QRect *c =
                nearestAcross(captions, at(bar->geometry().topLeft()).x() + 40, band.bottom, false))
            pointers.emplace_back(c, QPointF(between(*c), centre.y()));
    }
    // The bar: the longest stretch drawn down the chart's column under the pointer runs
    // across the bar's top and front faces.
    const QImage drawing = picture->drawing();
    if (const QRect *c = nearestAcross(captions, size.width() * 0.75, band.bottom, false)) {
        const double x = between(*c);
        const int column = static_cast<int>((x - at(chart).x()) / scale);
        int bestStart = 0, bestLength = 0;
        for (int y = 0, start = 0; column >= 0 && column < drawing.width() && y <= drawing.height();
             ++y) {
            if (y < drawing.height() && drawing.pixel(column, y) != drawing.pixel(0, 0))
                continue;
            if (y - start > bestLength)
                bestStart = start, bestLength = y - start;
            start = y + 1;
        }
        if (bestLength > 0)
            pointers.emplace_back(
                c, QPointF(x, at(chart + QPointF(0, bestStart + bestLength * 2 / 3)).y()));
    }
    for (const auto &[caption, target] : pointers)
        if (caption)
            pointTo(p, *caption, target);
    return out;
}

// The data window between the texts above and below it, its close box under the text
// that names it, with a pointer to the memory figures.
QPixmap dataPicture(frmMain &main, QSize size, qreal ratio, const QList<QRect> &captions)
{
    const Band band = freeBand(captions, size);
    main.formLoad();
    frmData *data = main.dataWindow();
    // The close box comes under the right end of the texts above the window.
    int right = 0;
    for (const QRect &c : captions)
        if (c.bottom() < band.top)
            right = std::max(right, c.right() + 12);
    right = right > 0 ? std::min(right, size.width()) : size.width();
    const TwipsPerPixel tp = screenTwipsPerPixel();
    data->geometryTwips().setWidth((right - 2) * tp.x);
    data->geometryTwips().setHeight((band.bottom - band.top - kCaptionHeight - 1) * tp.y);
    data->Form_Resize();
    // The real window's frame, thicker than the picture's, takes the rest of its margin
    // below and right of the grid. The window's own resize handling has run already.
    data->setAttribute(Qt::WA_PendingResizeEvent, false);
    if (auto *grid = data->findChild<QWidget *>(u"Grid1"_s))
        grid->resize(data->width() - grid->x() - 8, data->height() - grid->y() - 8);
    QPixmap out = blankPicture(size, ratio);
    QPainter p(&out);
    const QPoint origin(0, band.top);
    p.drawPixmap(origin, framed(data, false, ratio));
    if (const auto *figures = data->findChild<QWidget *>(u"Label3"_s)) {
        const QPointF at = centreIn(data, figures, origin);
        if (const QRect *c = nearestAcross(captions, at.x(), band.top, true))
            pointTo(p, *c, QPointF(c->center().x(), at.y() - figures->height() / 2.0));
    }
    return out;
}

// The preferences window is taller than its picture, and its texts lie across the
// whole picture, so the picture shows the window's parts beside the texts that name
// them, top to bottom: the main window's button that opens the window, the
// magnification slider, and the refresh rate with its lamp.
QPixmap preferencesPicture(frmMain &main, QSize size, qreal ratio, QList<QRect> captions)
{
    main.formLoad();
    frmPreferences *window = main.preferences();
    QPixmap out = blankPicture(size, ratio);
    QPainter p(&out);
    // The paragraph above the picture may reach into it: nothing goes under it.
    int top = 0;
    for (const QRect &c : captions)
        if (c.top() < 0)
            top = std::max(top, c.bottom() + 3);
    captions.removeIf([](const QRect &c) { return c.top() < 0; });
    std::sort(captions.begin(), captions.end(),
              [](const QRect &a, const QRect &b) { return a.top() < b.top(); });
    auto *button = main.findChild<QWidget *>(u"Command5"_s);
    auto *slider = window->findChild<QWidget *>(u"sliZoom"_s);
    auto *rate = window->findChild<QWidget *>(u"Frame2"_s);
    if (captions.size() != 4 || !button || !slider || !rate) {
        p.drawPixmap(0, 0, framed(window, false, ratio));
        return out;
    }
    const QRect opens = captions[0], zoom = captions[1], lamp = captions[2], refresh = captions[3];
    // The button under its text, left of the lamp's.
    const qreal buttonScale = std::min(1.0, (lamp.left() - 6.0) / button->width());
    drawPart(p, button, QPointF(2, opens.bottom() + 4), buttonScale);
    // The slider above its text, below the paragraph.
    const qreal sliderScale = std::min({1.0, (zoom.top() - 3.0 - top) / slider->height(),
                                        (size.width() - 4.0 - zoom.left()) / slider->width()});
    const QSizeF sliderSize = QSizeF(slider->size()) * sliderScale;
    drawPart(
        p, slider,
        QPointF(zoom.center().x() - sliderSize.width() / 2, zoom.top() - 2 - sliderSize.height()),
        sliderScale);
    // The refresh rate left of its text and below the lamp's, the lamp under its text.
    const double free = size.height() - 2.0 - (lamp.bottom() + 4.0);
    const qreal rateScale =
        std::min({1.0, free / rate->height(), (refresh.left() - 6.0) / rate->width()});
    const QSizeF rateSize = QSizeF(rate->size()) * rateScale;
    drawPart(p, rate, QPointF(refresh.left() - 4 - rateSize.width(), lamp.bottom() + 4), rateScale);
    return out;
}

} // namespace

HelpPictureProvider makeHelpPictureProvider()
{
    return [](HelpPicture which, QSize size, qreal ratio, const QList<QRect> &captions) {
        const LightPalette light;
        SampleProcesses processes;
        SampleSettings settings;
        NullDesktopShell shell;
        frmMain::Services services{processes, settings, shell, {}, false};
        services.yieldOnTick = false; // the pictures are made inside another handler
        frmMain main(services);
        switch (which) {
        case HelpPicture::MainWindow:
            return mainPicture(main, size, ratio, captions);
        case HelpPicture::Preferences:
            return preferencesPicture(main, size, ratio, captions);
        case HelpPicture::DataWindow:
            return dataPicture(main, size, ratio, captions);
        }
        return QPixmap();
    };
}

} // namespace plenwick

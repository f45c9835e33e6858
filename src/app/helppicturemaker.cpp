#include "helppicturemaker.h"

#include "mainwindow.h"
#include "platform/os/processsource.h"
#include "platform/settings/settingsstore.h"
#include "platform/toolkit/desktopshell.h"
#include "platform/toolkit/toolkit.h"
#include "platform/toolkit/twips.h"

#include <QApplication>
#include <QMap>
#include <QPainter>
#include <QPair>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// A small, fixed machine for the pictures: 4 GiB with a dozen programs running.
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
        return MemoryStatus{4LL << 30, 1536LL << 20};
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
            {0, nullptr, nullptr, 0},
            {1, u"init", u"/sbin/", 12LL << 20},
            {312, u"journald", u"/lib/systemd/", 48LL << 20},
            {640, u"Xorg", u"/usr/lib/xorg/", 190LL << 20},
            {702, u"session", u"/usr/bin/", 64LL << 20},
            {815, u"panel", u"/usr/bin/", 96LL << 20},
            {1042, u"browser", u"/usr/lib/browser/", 620LL << 20},
            {1107, u"editor", u"/usr/bin/", 210LL << 20},
            {1290, u"mail", u"/usr/bin/", 150LL << 20},
            {1355, u"terminal", u"/usr/bin/", 72LL << 20},
            {1480, u"music", u"/usr/bin/", 88LL << 20},
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

// Fits a picture into `size` logical pixels on a white ground, top-left aligned,
// keeping its shape.
QPixmap fitted(const QPixmap &picture, QSize size, qreal ratio)
{
    QPixmap out = densePixmap(size, ratio);
    out.fill(Qt::white);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF scaled = picture.deviceIndependentSize().scaled(QSizeF(size), Qt::KeepAspectRatio);
    p.drawPixmap(QRectF(QPointF(0, 0), scaled), picture, QRectF(picture.rect()));
    return out;
}

} // namespace

HelpPictureProvider makeHelpPictureProvider()
{
    return [](HelpPicture which, QSize size, qreal ratio) -> QPixmap {
        const LightPalette light;
        SampleProcesses processes;
        SampleSettings settings;
        NullDesktopShell shell;
        frmMain::Services services{processes, settings, shell, {}, false};
        services.yieldOnTick = false; // the pictures are made inside another handler
        frmMain main(services);
        const TwipsPerPixel tp = screenTwipsPerPixel();
        const double tx = tp.x, ty = tp.y;
        switch (which) {
        case HelpPicture::MainWindow: {
            main.formLoad();
            main.geometryTwips().setWidth((size.width() - 2) * tx);
            main.geometryTwips().setHeight((size.height() - kCaptionHeight - 1) * ty);
            main.forceResize();
            return fitted(framed(&main, true, ratio), size, ratio);
        }
        case HelpPicture::Preferences: {
            main.formLoad();
            return fitted(framed(main.preferences(), false, ratio), size, ratio);
        }
        case HelpPicture::DataWindow: {
            main.formLoad();
            frmData *data = main.dataWindow();
            data->geometryTwips().setWidth((size.width() - 2) * tx);
            data->geometryTwips().setHeight((size.height() - kCaptionHeight - 1) * ty);
            data->Form_Resize();
            return fitted(framed(data, false, ratio), size, ratio);
        }
        }
        return {};
    };
}

} // namespace plenwick

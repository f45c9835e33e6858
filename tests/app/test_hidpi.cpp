// On a high-density screen (a scale factor of 2) the program draws at the screen's
// device pixels, so the chart, its labels and the splash stay sharp, while every size
// and position of the windows stays in the logical pixels and twips they are made of.
//
// The measures are checked against the design's own numbers and, all of them at once,
// against the same program run at a scale factor of 1: this test starts itself again
// with PLENWICK_HIDPI_REFERENCE set, and that run prints what it measured.
//
// With PLENWICK_HIDPI_GRAB_DIR set, the grabs are also saved there as PNG files.
#include "app/mainwindow.h"
#include "app/splashwindow.h"
#include "platform/desktopshell.h"
#include "platform/picturebox.h"
#include "platform/rasterline.h"
#include "platform/twips.h"
#include "support/fakeprocesssource.h"
#include "support/memorysettingsstore.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QLocale>
#include <QMap>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

constexpr char kReferenceVariable[] = "PLENWICK_HIDPI_REFERENCE";
constexpr ByteCount kMiB = 1024 * 1024;

// The program's main window, loaded over a small sample machine, not shown.
struct Program {
    FakeProcessSource source;
    MemorySettingsStore store;
    NullDesktopShell shell;
    std::unique_ptr<frmMain> main;

    Program()
    {
        source.setMemory(256 * kMiB, 96 * kMiB);
        source.addGeneratedProcesses(12);
        main = std::make_unique<frmMain>(frmMain::Services{source, store, shell, {}, false, false});
        main->formLoad();
    }
    ~Program()
    {
        main.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;
};

// ---- Measures, by name, as text --------------------------------------------------

using Measures = QMap<QString, QString>;

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

QString rectText(const QRectF &r)
{
    return number(r.x()) + u' ' + number(r.y()) + u' ' + number(r.width()) + u' ' +
           number(r.height());
}

// The geometry of a window and of every named widget in it, keyed by the names from
// the window down.
void measureWindow(Measures &m, QWidget *window)
{
    m[window->objectName() + u"/size"_s] = rectText(QRect(QPoint(), window->size()));
    const auto children = window->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (child->window() != window || child->objectName().isEmpty() ||
            child->objectName().startsWith(u"qt_"_s))
            continue;
        QString key = child->objectName();
        for (QWidget *p = child->parentWidget(); p && p != window; p = p->parentWidget())
            key = (p->objectName().isEmpty() ? u"?"_s : p->objectName()) + u'/' + key;
        key = window->objectName() + u'/' + key;
        m[key] = rectText(child->geometry());
    }
}

template <class Array> void measureArray(Measures &m, const QString &name, const Array &array)
{
    array.forEachVisible([&](int i, const auto &element) {
        QString text = rectText(element.bounds());
        if constexpr (requires { element.caption(); })
            text += u" \""_s + element.caption() + u'"';
        m[u"chart/"_s + name + u'/' + QString::number(i)] = text;
    });
}

Measures measure(frmMain &main)
{
    Measures m;
    const TwipsPerPixel tp = screenTwipsPerPixel();
    m[u"twipsPerPixel"_s] = number(tp.x) + u' ' + number(tp.y);
    WindowGeometry &g = main.geometryTwips();
    m[u"frmMain/twips"_s] = number(g.left()) + u' ' + number(g.top()) + u' ' + number(g.width()) +
                            u' ' + number(g.height());
    m[u"frmMain/scaleHeight"_s] = QString::number(main.scaleHeight());

    const MainLayout &l = main.lastLayout();
    m[u"layout/runs"_s] = QString::number(l.runs);
    m[u"layout/picScroll"_s] =
        rectText({l.picScrollLeft, l.picScrollTop, l.picScrollWidth, l.picScrollHeight});
    m[u"layout/picScrollPx"_s] =
        QString::number(l.picScrollWidthPx) + u' ' + QString::number(l.picScrollHeightPx);
    m[u"layout/picScrollScaleWidth"_s] = number(l.picScrollScaleWidth);
    m[u"layout/picture1"_s] = number(l.picture1Width) + u' ' + number(l.picture1Height) + u' ' +
                              QString::number(l.picture1WidthPx) + u' ' +
                              QString::number(l.picture1HeightPx);
    m[u"layout/scroll"_s] = QString::number(l.scrollVisible) + u' ' +
                            rectText({l.scrollLeft, l.scrollTop, l.scrollWidth, l.scrollHeight}) +
                            u' ' + QString::number(l.scrollMax);
    for (std::size_t i = 0; i < l.buttonLeft.size(); ++i)
        m[u"layout/button/"_s + QString::number(i)] =
            number(l.buttonLeft[i]) + u' ' + number(l.buttonTop);
    for (std::size_t i = 0; i < l.barOutline.size(); ++i) {
        const LinePoints &p = l.barOutline[i];
        m[u"layout/barOutline/"_s + QString::number(i)] =
            number(p.x1) + u' ' + number(p.y1) + u' ' + number(p.x2) + u' ' + number(p.y2);
    }
    m[u"frmMain/picture1LeftTwips"_s] = number(main.picture1LeftTwips());
    m[u"HScroll1/range"_s] = QString::number(main.HScroll1->minimum()) + u' ' +
                             QString::number(main.HScroll1->maximum()) + u' ' +
                             QString::number(main.HScroll1->value());

    measureArray(m, u"barOutline"_s, main.chartControls.barOutline);
    measureArray(m, u"progLeader1"_s, main.chartControls.progLeader1);
    measureArray(m, u"progLeader2"_s, main.chartControls.progLeader2);
    measureArray(m, u"progLabel"_s, main.chartControls.progLabel);
    measureArray(m, u"gridLabel"_s, main.chartControls.gridLabel);

    measureWindow(m, &main);
    measureWindow(m, main.preferences());
    measureWindow(m, main.dataWindow());
    measureWindow(m, main.aboutWindow());
    measureWindow(m, main.helpWindow());
    frmSplash splash(nullptr);
    measureWindow(m, &splash);
    return m;
}

// What the same program measures at a scale factor of 1.
Measures measureAtScaleOne()
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kReferenceVariable), u"1"_s);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        return {};
    Measures m;
    const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            m[QString::fromUtf8(line.left(tab))] = QString::fromUtf8(line.mid(tab + 1));
    }
    return m;
}

int printMeasures()
{
    Program program;
    Measures m = measure(*program.main);
    m[u"devicePixelRatio"_s] = number(qApp->devicePixelRatio());
    for (auto it = m.cbegin(); it != m.cend(); ++it)
        std::fputs((it.key() + u'\t' + it.value() + u'\n').toUtf8().constData(), stdout);
    return 0;
}

// ---- Pixels ------------------------------------------------------------------------

QImage rgb32(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// Whether the 2 x 2 block of device pixels of logical pixel (x, y) is one colour.
bool uniformBlock(const QImage &image, int x, int y)
{
    const QRgb c = image.pixel(2 * x, 2 * y);
    return image.pixel(2 * x + 1, 2 * y) == c && image.pixel(2 * x, 2 * y + 1) == c &&
           image.pixel(2 * x + 1, 2 * y + 1) == c;
}

void saveGrab(const QImage &image, const QString &name)
{
    const QString dir = qEnvironmentVariable("PLENWICK_HIDPI_GRAB_DIR");
    if (!dir.isEmpty())
        image.save(QDir(dir).filePath(name));
}

// Where the picture box paints controls above the drawing, in device pixels, with a
// margin for anti-aliased edges.
QList<QRect> controlAreas(const frmMain &main)
{
    QList<QRect> areas;
    auto add = [&](const auto &array) {
        array.forEachVisible([&](int, const auto &element) {
            const QRectF b = element.bounds();
            areas << QRectF(b.x() * 2, b.y() * 2, b.width() * 2, b.height() * 2)
                         .toAlignedRect()
                         .adjusted(-4, -4, 4, 4);
        });
    };
    add(main.chartControls.barOutline);
    add(main.chartControls.progLeader1);
    add(main.chartControls.progLeader2);
    add(main.chartControls.progLabel);
    add(main.chartControls.gridLabel);
    return areas;
}

} // namespace

class TestHiDpi : public QObject {
    Q_OBJECT

private slots:
    void screenIsTwiceAsDense()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
        Program program;
        QCOMPARE(program.main->devicePixelRatio(), 2);
        QCOMPARE(program.main->Picture1->devicePixelRatio(), 2);
        const TwipsPerPixel tp = screenTwipsPerPixel();
        QCOMPARE(tp.x, 15.0);
        QCOMPARE(tp.y, 15.0);
    }

    // The design's numbers, worked out by hand for the default window of 8200 x 6400
    // twips at magnification 1: twips stay twips, pixels stay logical pixels.
    void designMeasuresHold()
    {
        Program program;
        frmMain &main = *program.main;
        QCOMPARE(main.geometryTwips().left(), 100.0);
        QCOMPARE(main.geometryTwips().top(), 50.0);
        QCOMPARE(main.geometryTwips().width(), 8200.0);
        QCOMPARE(main.geometryTwips().height(), 6400.0);
        // 8200 / 15 and 6400 / 15 pixels, rounded.
        QCOMPARE(main.frameGeometry().size(), QSize(547, 427));

        const MainLayout &l = main.lastLayout();
        QVERIFY(l.runs);
        QCOMPARE(l.picScrollWidth, static_cast<float>(8200 / 15.0 - 25));
        QCOMPARE(l.picScrollHeight, static_cast<float>(6400 / 15.0 - 95));
        QCOMPARE(l.picture1Width, 8200.0f);
        QCOMPARE(l.picture1Height, static_cast<float>(15 * l.picScrollHeight));
        QCOMPARE(main.Picture1->size(), QSize(547, 332));
        QCOMPARE(main.PicScroll->geometry(), QRect(8, 8, 522, 332));

        const int sh = main.scaleHeight();
        const QPushButton *row[] = {main.Command1, main.Command2, main.cmdGet,
                                    main.Command4, main.Command5, main.Command6};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(l.buttonLeft[static_cast<std::size_t>(i)], 8.0f + 85.0f * i);
            // 1215 x 375 twips.
            QCOMPARE(row[i]->geometry(), QRect(8 + 85 * i, sh - 30, 81, 25));
        }

        const float sw = static_cast<float>(main.Picture1->width());
        const float sp = static_cast<float>(main.Picture1->height());
        const LineControl *bottom = main.chartControls.barOutline.find(0);
        QVERIFY(bottom);
        QCOMPARE(bottom->x1, 20.0f);
        QCOMPARE(bottom->y1, sp - 30);
        QCOMPARE(bottom->x2, sw - 100);
        QCOMPARE(bottom->y2, sp - 30);

        // The other windows' client areas, in twips at 15 per pixel.
        QCOMPARE(main.preferences()->size(), QSize(193, 201)); // 2895 x 3015
        QCOMPARE(main.dataWindow()->size(), QSize(399, 322));  // 5985 x 4830
        QCOMPARE(main.aboutWindow()->size(), QSize(254, 190)); // 3810 x 2850
        QCOMPARE(main.helpWindow()->size(), QSize(426, 305));  // 6390 x 4575
        frmSplash splash(nullptr);
        QCOMPARE(splash.size(), QSize(457, 294)); // 6855 x 4410

        // A size the user gives reads back at 15 twips per logical pixel.
        main.resize(600, 450);
        QCOMPARE(main.geometryTwips().width(), 600 * 15.0);
        QCOMPARE(main.geometryTwips().height(), 450 * 15.0);
    }

    // Every size and position, of every window and of the chart's elements, as at a
    // scale factor of 1.
    void measuresMatchScaleOne()
    {
        Measures reference = measureAtScaleOne();
        QVERIFY2(reference.size() > 100, "the run at scale 1 measured nothing");
        QCOMPARE(reference.take(u"devicePixelRatio"_s), u"1"_s);
        QVERIFY(reference.contains(u"layout/picScroll"_s));
        QVERIFY(reference.contains(u"chart/progLabel/14"_s)); // 12 processes and 2 more
        QVERIFY(reference.contains(u"frmPreferences/Frame1/sliZoom"_s));

        Program program;
        const Measures here = measure(*program.main);
        QStringList differences;
        for (auto it = reference.cbegin(); it != reference.cend(); ++it)
            if (here.value(it.key(), u"<none>"_s) != it.value())
                differences << it.key() + u": "_s + here.value(it.key(), u"<none>"_s) +
                                   u" at scale 2, "_s + it.value() + u" at scale 1"_s;
        for (auto it = here.cbegin(); it != here.cend(); ++it)
            if (!reference.contains(it.key()))
                differences << it.key() + u": only at scale 2"_s;
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(u'\n')));
    }

    // The chart's drawing is kept at device pixels: each logical pixel is a block of
    // 2 x 2 device pixels of one colour, the colour pixelAt reports.
    void chartImageAtDevicePixels()
    {
        Program program;
        const PictureBox &picture = *program.main->Picture1;
        QCOMPARE(picture.imageScale(), 2);
        const QImage &image = picture.backingImage();
        QCOMPARE(image.size(), picture.size() * 2);

        QSet<QRgb> colours;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (!uniformBlock(image, x, y))
                    QFAIL(qPrintable(u"logical pixel %1,%2 is not one colour"_s.arg(x).arg(y)));
                const QRgb c = image.pixel(2 * x, 2 * y);
                colours.insert(c);
                QCOMPARE(argbOf(picture.pixelAt(x, y)), c | 0xff000000u);
            }
        }
        // The slices were drawn: white, black edges and a colour per slice at least.
        QVERIFY2(colours.size() > 10, qPrintable(QString::number(colours.size())));
    }

    void lineIsBlockPerLogicalPixel_data()
    {
        QTest::addColumn<QLineF>("line");
        QTest::addColumn<int>("pixels"); // one per step along the longer axis, ends included
        QTest::newRow("shallow") << QLineF(5, 7, 40, 19) << 36;
        QTest::newRow("steep") << QLineF(60, 10, 52, 70) << 61;
        QTest::newRow("horizontal") << QLineF(3, 100, 200, 100) << 198;
        QTest::newRow("vertical") << QLineF(300, 2, 300, 90) << 89;
        QTest::newRow("backwards") << QLineF(250, 150, 120, 101) << 131;
    }

    void lineIsBlockPerLogicalPixel()
    {
        QFETCH(QLineF, line);
        QFETCH(int, pixels);
        Program program;
        PictureBox &picture = *program.main->Picture1;
        picture.cls();
        constexpr VbColor ink = rgb(1, 2, 3);
        picture.line(line.x1(), line.y1(), line.x2(), line.y2(), ink);

        // The same line at one device pixel per logical pixel.
        QImage logical(picture.size(), QImage::Format_RGB32);
        logical.fill(argbOf(kWhite));
        rasterLine(logical, 1, line.x1(), line.y1(), line.x2(), line.y2(), ink);

        const QImage &image = picture.backingImage();
        int inked = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                QVERIFY(uniformBlock(image, x, y));
                const bool onLine = image.pixel(2 * x, 2 * y) == argbOf(ink);
                QCOMPARE(onLine, logical.pixel(x, y) == argbOf(ink));
                QCOMPARE(picture.pixelAt(x, y) == ink, onLine);
                inked += onLine ? 1 : 0;
            }
        }
        QCOMPARE(inked, pixels);
        QCOMPARE(picture.pixelAt(qRound(line.x1()), qRound(line.y1())), ink);
        QCOMPARE(picture.pixelAt(qRound(line.x2()), qRound(line.y2())), ink);
    }

    // As shown, the chart is the backing image pixel for pixel wherever no control lies
    // above it (nothing scaled, nothing blurred), and the labels' text is drawn at device
    // pixels rather than enlarged from logical ones.
    void chartShownCrisp()
    {
        Program program;
        frmMain &main = *program.main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));

        const QPixmap grab = main.Picture1->grab();
        QCOMPARE(grab.devicePixelRatio(), 2.0);
        QCOMPARE(grab.size(), main.Picture1->size() * 2);
        const QImage shot = rgb32(grab.toImage());
        const QImage &image = main.Picture1->backingImage();
        saveGrab(shot, u"hidpi-chart.png"_s);
        saveGrab(rgb32(main.grab().toImage()), u"hidpi-main.png"_s);

        const QList<QRect> areas = controlAreas(main);
        qsizetype compared = 0;
        for (int y = 0; y < shot.height(); ++y) {
            const auto *shown = reinterpret_cast<const QRgb *>(shot.constScanLine(y));
            const auto *drawn = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < shot.width(); ++x) {
                const QPoint p(x, y);
                if (std::any_of(areas.begin(), areas.end(),
                                [&](const QRect &r) { return r.contains(p); }))
                    continue;
                if ((shown[x] | 0xff000000u) != (drawn[x] | 0xff000000u))
                    QFAIL(qPrintable(u"device pixel %1,%2 shows %3, the drawing has %4"_s.arg(x)
                                         .arg(y)
                                         .arg(shown[x], 8, 16)
                                         .arg(drawn[x], 8, 16)));
                ++compared;
            }
        }
        QVERIFY2(compared > shot.width() * shot.height() / 2,
                 qPrintable(QString::number(compared)));

        int labels = 0;
        main.chartControls.progLabel.forEachVisible([&](int, const LabelControl &label) {
            const QRect r = label.bounds().toAlignedRect() & QRect(QPoint(), main.Picture1->size());
            if (r.width() < 8)
                return;
            ++labels;
            int fine = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    fine += uniformBlock(shot, x, y) ? 0 : 1;
            QVERIFY2(fine > 0, qPrintable(label.caption()));
        });
        QVERIFY(labels >= 3);
    }

    // The splash at 2 device pixels per logical pixel: its light blue frame is exactly
    // 10 logical pixels wide on every side, and its picture is drawn with every device
    // pixel taken from the nearest picture pixel, never blended from several.
    void splashCrisp()
    {
        frmSplash splash(nullptr);
        QCOMPARE(splash.size(), QSize(457, 294));
        QVERIFY(!splash.Picture.isNull());
        const QPixmap grab = splash.grab();
        QCOMPARE(grab.devicePixelRatio(), 2.0);
        QCOMPARE(grab.size(), QSize(914, 588));
        const QImage shot = rgb32(grab.toImage());
        saveGrab(shot, u"hidpi-splash.png"_s);

        const QImage source = rgb32(splash.Picture.toImage());
        const QRgb frame = argbOf(frmSplash::kFrameColor);
        const int band = 2 * frmSplash::kFrameWidth;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const int edge = std::min({x, y, shot.width() - 1 - x, shot.height() - 1 - y});
                const QRgb expected = edge < band
                                          ? frame
                                          : source.pixel(x * source.width() / shot.width(),
                                                         y * source.height() / shot.height());
                if (shot.pixel(x, y) != expected)
                    QFAIL(qPrintable(u"device pixel %1,%2 is %3, expected %4"_s.arg(x)
                                         .arg(y)
                                         .arg(shot.pixel(x, y), 8, 16)
                                         .arg(expected, 8, 16)));
            }
        }
    }
};

int main(int argc, char *argv[])
{
    const bool reference = qEnvironmentVariableIsSet(kReferenceVariable);
    // Set before the application object exists, which reads it.
    qputenv("QT_SCALE_FACTOR", reference ? "1" : "2");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    if (reference)
        return printMeasures();
    TestHiDpi tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "test_hidpi.moc"

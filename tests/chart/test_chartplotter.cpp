#include "chart/chartcontrols.h"
#include "chart/chartplotter.h"
#include "chart/slicecolors.h"
#include "platform/toolkit/picturebox.h"
#include "platform/toolkit/rasterline.h"

#include <QApplication>
#include <QBackingStore>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

constexpr ByteCount MiB = 1024 * 1024;

// A chart picture of width x height pixels with the bar outline that the layout gives
// it: the bar from x 20 to width - 100, Bottom = height - 30, Top = Bottom - 66,
// Back = Top - 25.
struct Rig {
    PictureBox picture;
    ChartControls controls;
    ChartPlotter plotter{picture, controls};

    Rig(int width, int height)
    {
        picture.resize(width, height);
        picture.cls();
        controls.attachTo(picture);
        const float w = width, h = height;
        int i = 0;
        for (const LineControl &edge :
             {LineControl{20, h - 30, w - 100, h - 30}, LineControl{20, h - 96, w - 100, h - 96},
              LineControl{53, h - 121, w - 67, h - 121}})
            *controls.barOutline.find(i++) = edge;
    }
    const LabelControl *label(int n) const { return controls.progLabel.find(n); }
    // Every label of the chart (slices and scale), in index order.
    QStringList labels() const
    {
        QStringList out;
        for (const auto *array : {&controls.progLabel, &controls.gridLabel})
            array->forEachVisible([&](int i, const LabelControl &l) {
                out << u"%1 %2 %3,%4 %5"_s.arg(i)
                           .arg(l.caption(), l.toolTipText)
                           .arg(l.left)
                           .arg(l.top);
            });
        return out;
    }
};

// A scan of processes with the given sizes after an operating-system slice, with the
// available memory last; the bar stands for `total` bytes.
ScanSnapshot scanOf(ByteCount total, ByteCount available, const QList<ByteCount> &sizes)
{
    ScanSnapshot scan{total, available, {}, {}, 0, false};
    ByteCount position = 0;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        scan.slices.push_back({i ? u"p%1"_s.arg(i) : u"Operating System"_s, u"/d%1/"_s.arg(i),
                               ProcessId(i), position, sizes[i], false});
        position += sizes[i];
    }
    scan.slices.push_back(
        {u"Available Memory"_s, QString(), 0, total - available, available, true});
    return scan;
}

} // namespace

class TestChartPlotter : public QObject {
    Q_OBJECT
private slots:
    void slicesTakeTheColoursOfTheirNumber()
    {
        // 880 MiB on 880 pixels: slice i (from 1) runs from column 20 i to 20 i + 20.
        Rig rig(1000, 300);
        rig.plotter.plotScan(scanOf(880 * MiB, 200 * MiB, QList<ByteCount>(12, 20 * MiB)), 1);
        for (const auto &[slice, color] :
             {std::pair{1, rgb(255, 0, 0)}, std::pair{2, rgb(255, 153, 0)},
              std::pair{10, rgb(255, 0, 255)}, std::pair{11, rgb(255, 0, 0)}}) {
            QCOMPARE(rig.picture.pixelAt(10 + 20 * slice, 240), color);
            QCOMPARE(rig.picture.pixelAt(20 * slice, 240), kBlack);
        }
        QCOMPARE(rig.picture.pixelAt(800, 240), rgb(250, 250, 250)); // available memory
        QCOMPARE(rig.controls.progLeader2.find(13)->backColor, kBlack);
        QCOMPARE(rig.picture.pixelAt(901, 250), kEndFaceColor);
        // The end face and the scale drawn once come out as when every slice redraws them,
        // also under a slice that runs past the bar's end.
        Rig once(1000, 300), every(1000, 300);
        const ScanSnapshot past = scanOf(880 * MiB, 200 * MiB, {600 * MiB, 400 * MiB});
        once.plotter.plotScan(past, 4);
        every.plotter.plotScan(past, 4, ChartPlotter::EndFace::AfterEverySlice);
        QCOMPARE(once.picture.backingImage(), every.picture.backingImage());
        QCOMPARE(once.labels(), every.labels());
    }

    void labelsGiveKilobytesAndMegabytesRoundedDown()
    {
        Rig rig(1000, 300);
        rig.plotter.plotScan(scanOf(880 * MiB, 200 * MiB, {-1, 1572864, -2097152}), 1);
        QCOMPARE(rig.label(1)->caption(), u"Operating System (-1Kb)"_s);
        QCOMPARE(rig.label(1)->toolTipText, u"/d0/Operating System  (-1 Mb)"_s);
        QCOMPARE(rig.label(2)->caption(), u"p1 (1536Kb)"_s);
        QCOMPARE(rig.label(2)->toolTipText, u"/d1/p1  (1 Mb)"_s);
        QCOMPARE(rig.label(3)->caption(), u"p2 (-2048Kb)"_s);
        // Label rows 12 pixels apart from the top; with Back at 179 the 15th row wraps.
        QCOMPARE(rig.label(1)->top, 4.0f);
        rig.plotter.plotScan(scanOf(880 * MiB, 200 * MiB, QList<ByteCount>(15, MiB)), 1);
        QCOMPARE(rig.label(14)->top, 160.0f);
        QCOMPARE(rig.label(15)->top, 4.0f);

        // A shorter scan leaves no label, leader or swatch of the longer one, even one of
        // the available memory alone (after two failed process lists in a row).
        for (const QList<ByteCount> &sizes : {QList<ByteCount>{MiB}, QList<ByteCount>{}})
            rig.plotter.plotScan(scanOf(880 * MiB, 200 * MiB, sizes), 1);
        QCOMPARE(rig.controls.progLabel.count() + rig.controls.progLeader1.count() +
                     rig.controls.progLeader2.count(),
                 2 * 3); // one slice and the template of each
    }

    // A slice is its columns drawn one by one, first to last: black at both ends, its
    // colour and shade between, then its leader's start. Slices here end on, between
    // and beyond columns, run out of the picture on either side, or have no size.
    void slicesAreTheirColumnsDrawn()
    {
        Rig rig(1000, 300); // 880 MiB on the 880 pixels from x 20
        QImage expected(1000, 300, QImage::Format_RGB32);
        expected.fill(Qt::white);
        const double bottom = 270, top = 204, back = 179;
        const auto column = [](double x) { return std::clamp(std::floor(x), -64.0, 1064.0); };
        int n = 0;
        for (const auto &[start, size] : {std::pair{0.0, 20.5},
                                          {20.5, 0.25},
                                          {30.25, 100.0},
                                          {-50.0, 40.0},
                                          {900.0, 200.0},
                                          {-200.0, 100.0},
                                          {300.0, -20.0},
                                          {400.0, 1.0}}) {
            rig.plotter.PlotProg(
                {u"p"_s, u"/"_s, 1, ByteCount(start * MiB), ByteCount(size * MiB), false},
                880 * MiB);
            const SliceColors colors = sliceColorsFor(++n);
            const double left = 20 + start, right = left + size;
            for (double x = column(left); x <= column(right); ++x) {
                if (x == std::floor(left) || x == std::floor(right)) {
                    rasterLine(expected, 1, x, bottom, x, top, kBlack);
                    rasterLine(expected, 1, x, top, x + 33, top - 25, kBlack);
                } else {
                    rasterLine(expected, 1, x, bottom - 2, x, top, colors.color);
                    rasterLine(expected, 1, x + 2, top - 2, x + 33, top - 25, colors.shade);
                }
            }
            const double mid = std::floor((left + right) / 2) + 16;
            rasterLine(expected, 1, mid, top - 12, mid, back, colors.color);
        }
        QCOMPARE(rig.picture.drawing(), expected);
    }

    // The scale's ticks are every tick drawn, short every 4 Mb and long on the labelled
    // steps, however many fall on one pixel column.
    void scaleTicksAreEveryTickDrawn()
    {
        for (const float totalMb : {24576.0f, 3000.0f, 100.0f}) {
            Rig rig(600, 300);
            const float x1 = 20.4f, x2 = 560.7f, y = 276.3f, major = totalMb / 16;
            rig.plotter.Graduate(x1, y, x2, y, 0, totalMb, 4, major);
            QImage expected(600, 300, QImage::Format_RGB32);
            expected.fill(Qt::white);
            rasterLine(expected, 1, x1, y, x2, y, kScaleColor);
            const auto step = std::int64_t(std::nearbyint(major));
            for (std::int64_t m = 0; m <= std::int64_t(totalMb) + 1; ++m) {
                const float x = float(m) * ((x2 - x1) / totalMb) + x1;
                if (m % 4 == 0)
                    rasterLine(expected, 1, x, y, x, y + 5, kScaleColor);
                if (m % step == 0 || float(m) == totalMb)
                    rasterLine(expected, 1, x, y, x, y + 7, kScaleColor);
            }
            QCOMPARE(rig.picture.drawing(), expected);
        }
    }

    void scaleLabelsFollowTheRoundedSteps_data()
    {
        QTest::addColumn<float>("totalMb");
        QTest::addColumn<float>("majorStep");
        QTest::addColumn<QStringList>("captions");
        QStringList every32{u"0 Mb"_s};
        for (int m = 32; m <= 256; m += 32)
            every32 << QString::number(m);
        QTest::newRow("31.935 rounds to 32") << 255.48f << 255.48f / 8 << every32;
        QTest::newRow("12.5 rounds to 12, and the total")
            << 100.0f << 12.5f << QStringList{u"0 Mb"_s, u"12"_s, u"24"_s, u"36"_s, u"48"_s,
                                              u"60"_s,   u"72"_s, u"84"_s, u"96"_s, u"100"_s};
        QTest::newRow("0.5 rounds to 0: every megabyte")
            << 2.0f << 0.5f << QStringList{u"0 Mb"_s, u"1"_s, u"2"_s, u"3"_s};
    }
    void scaleLabelsFollowTheRoundedSteps()
    {
        QFETCH(float, totalMb);
        QFETCH(float, majorStep);
        QFETCH(QStringList, captions);
        Rig rig(1000, 300);
        rig.plotter.Graduate(20, 276, 900, 276, 0, 1000, 4, 1); // 1001 labels to clear away
        rig.plotter.Graduate(20, 276, 900, 276, 0, totalMb, 4, majorStep);
        QStringList shown;
        rig.controls.gridLabel.forEachVisible(
            [&](int, const LabelControl &label) { shown << label.caption(); });
        QCOMPARE(shown, captions);
        const LabelControl *zero = rig.controls.gridLabel.find(0);
        QCOMPARE(zero->left, 20 - zero->width() / 2 + 8);
    }

    // Only what changed is repainted, and the window shows what a full repaint would, at
    // every magnification, with the chart scrolled, slices moving, captions changing
    // and labels going.
    void theScreenShowsWhatAFullRepaintWould()
    {
        for (int magnification = 1; magnification <= 4; ++magnification) {
            QWidget viewport;
            viewport.resize(600, 300);
            Rig rig(600 * magnification, 300);
            rig.picture.setParent(&viewport);
            viewport.show();
            QVERIFY(QTest::qWaitForWindowExposed(&viewport));
            QRandomGenerator random(magnification);
            for (int scan = 0; scan < 6; ++scan) {
                QList<ByteCount> sizes;
                for (int i = 0; i < 60 - 7 * scan; ++i)
                    sizes << ByteCount(random.bounded(6 * 1048576)) * (i % 5 ? 1 : 3);
                rig.picture.move(-(scan * 97) % (600 * magnification - 599), 0);
                rig.plotter.plotScan(scanOf(1024 * MiB, 300 * MiB, sizes), magnification);
                QCoreApplication::processEvents();
                // The window's backing store: what was painted, piece by piece.
                QPaintDevice *device = viewport.backingStore()->paintDevice();
                QCOMPARE(device->devType(), int(QInternal::Image));
                QImage shown = *static_cast<QImage *>(device);
                QImage full = viewport.grab().toImage();
                for (QImage *image : {&shown, &full}) {
                    *image = image->convertToFormat(QImage::Format_RGB32);
                    image->setDevicePixelRatio(1);
                }
                QCOMPARE(shown, full);
            }
        }
    }

    void picturesResizedInOneDirectionTakeLinesInTheNewArea()
    {
        for (const QSize size : {QSize(300, 100), QSize(100, 300)}) {
            PictureBox picture; // hidden: it hears of no resize until shown
            picture.resize(100, 100);
            picture.line(0, 0, 10, 0, kBlack);
            picture.resize(size);
            const QPoint inNewArea(size.width() - 50, size.height() - 50);
            picture.line(inNewArea.x(), inNewArea.y(), inNewArea.x(), inNewArea.y(), kBlack);
            QCOMPARE(picture.pixelAt(inNewArea.x(), inNewArea.y()), kBlack);
        }
    }
};

QTEST_MAIN(TestChartPlotter)
#include "test_chartplotter.moc"

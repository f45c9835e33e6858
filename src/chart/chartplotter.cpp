#include "chartplotter.h"

#include "platform/toolkit/picturebox.h"
#include "slicecolors.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// Integer division rounding toward minus infinity: -1 byte is -1 kilobyte.
std::int64_t floorDiv(std::int64_t value, std::int64_t divisor)
{
    std::int64_t q = value / divisor;
    if ((value % divisor != 0) && ((value < 0) != (divisor < 0)))
        --q;
    return q;
}

// Clamps a column number to a range that still covers every column that can reach
// the picture (a column's top-face diagonal runs 33 pixels to its right).
std::int64_t clampColumn(double x, int pictureWidth)
{
    if (std::isnan(x))
        return 0;
    return static_cast<std::int64_t>(std::clamp(x, -64.0, pictureWidth + 64.0));
}

struct Bar {
    float x1, x2, bottom, top, back, y2, rightTopX2;
};

Bar readBar(const ChartControls &c)
{
    const LineControl *front = c.barOutline.find(0);
    const LineControl *top = c.barOutline.find(1);
    const LineControl *back = c.barOutline.find(2);
    return {front->x1, front->x2, front->y1, top->y1, back->y1, front->y2, top->x2};
}

} // namespace

ChartPlotter::ChartPlotter(PictureBox &picture, ChartControls &controls)
    : m_picture(picture), m_controls(controls)
{}

std::optional<float> ChartPlotter::majorStepFor(float totalMb, int magnification)
{
    switch (magnification) {
    case 1:
        return totalMb / 8.0f;
    case 2:
        return totalMb / 16.0f;
    case 3:
        return totalMb / 32.0f;
    case 4:
        return totalMb / 64.0f;
    default:
        return std::nullopt;
    }
}

void ChartPlotter::plotScan(const ScanSnapshot &scan, int magnification, EndFace endFace)
{
    m_sliceCount = 0;
    m_labelTop = 10;
    for (const Slice &slice : scan.slices) {
        plotSlice(slice, scan.totalPhysical);
        if (endFace == EndFace::AfterEverySlice)
            drawEndFaceAndScale(scan.totalPhysical, magnification);
    }
    if (endFace == EndFace::AfterLastSlice && !scan.slices.empty())
        drawEndFaceAndScale(scan.totalPhysical, magnification);
    // One repaint for the whole scan, of what it changed.
    m_picture.updateChanged();
    m_picture.notifyAccessibleChildrenChanged();
}

void ChartPlotter::PlotProg(const Slice &slice, ByteCount total)
{
    plotSlice(slice, total);
    m_picture.updateChanged();
}

const ChartPlotter::SliceTexts &ChartPlotter::textsFor(int n, const Slice &slice)
{
    if (m_texts.size() <= static_cast<std::size_t>(n))
        m_texts.resize(static_cast<std::size_t>(n) + 1);
    SliceTexts &texts = m_texts[static_cast<std::size_t>(n)];
    if (texts.caption.isNull() || texts.size != slice.size || texts.name != slice.name ||
        texts.directory != slice.directory) {
        // Kilobytes and megabytes round toward minus infinity.
        const std::int64_t kb = floorDiv(slice.size, 1024);
        const std::int64_t mb = floorDiv(slice.size, 1048576);
        texts = {slice.name, slice.directory, slice.size,
                 slice.name + u" ("_s + QString::number(kb) + u"Kb)"_s,
                 slice.directory + slice.name + u"  ("_s + QString::number(mb) + u" Mb)"_s};
    }
    return texts;
}

void ChartPlotter::plotSlice(const Slice &slice, ByteCount total)
{
    if (total <= 0)
        return; // no memory reading yet: nothing to draw a slice of

    // The slice's number picks its colours by its last digit.
    m_sliceCount = static_cast<std::int16_t>(m_sliceCount + 1);
    const int n = m_sliceCount;
    SliceColors colors = sliceColorsFor(n);
    m_sliceColor = colors.color;
    m_sliceShade = colors.shade;

    // Extent on the bar, in pixels, in proportion to the bytes.
    const Bar bar = readBar(m_controls);
    const float w = bar.x2 - bar.x1;
    const auto left = static_cast<float>(bar.x1 + w * (static_cast<double>(slice.start) / total));
    const auto right =
        static_cast<float>(bar.x1 + w * ((static_cast<double>(slice.start) + slice.size) / total));

    if (slice.availableMemory) {
        m_sliceColor = kAvailableMemoryColors.color;
        m_sliceShade = kAvailableMemoryColors.shade;
    }

    // Columns: black at both ends, filled front and shaded top face between.
    const int pictureWidth = m_picture.scaleWidth();
    const std::int64_t first = clampColumn(std::floor(left), pictureWidth);
    const std::int64_t last = clampColumn(std::floor(right), pictureWidth);
    const double firstExact = std::floor(left), lastExact = std::floor(right);
    const auto endColumn = [&](std::int64_t x) {
        const auto fx = static_cast<double>(x);
        m_picture.line(fx, bar.bottom, fx, bar.top, kBlack);
        m_picture.line(fx, bar.top, fx + 33, bar.top - 25, kBlack);
    };
    std::int64_t from = first, to = last;
    if (first <= last && static_cast<double>(first) == firstExact)
        endColumn(from++);
    const bool lastIsEnd = from <= to && static_cast<double>(to) == lastExact;
    if (lastIsEnd)
        --to;
    // The columns between draw nothing over each other but their own colours (the front
    // lies below the top face), so each face is drawn for all of them at once.
    if (from <= to) {
        const auto fx = static_cast<double>(from);
        const auto count = static_cast<int>(to - from + 1);
        m_picture.lineRun(fx, bar.bottom - 2, fx, bar.top, count, m_sliceColor);
        m_picture.lineRun(fx + 2, bar.top - 2, fx + 33, bar.top - 25, count, m_sliceShade);
    }
    if (lastIsEnd)
        endColumn(last);

    // The leader rises from the middle of the slice.
    const float midF = std::floor((left + right) / 2.0f);
    const float mid = std::isfinite(midF) ? std::clamp(midF, -1.0e7f, 1.0e7f) : 0.0f;

    if (!m_controls.progLeader1.exists(n) || !m_controls.progLeader2.exists(n)) {
        m_controls.progLeader1.load(n);
        m_controls.progLeader2.load(n);
    }

    // The available-memory slice has a black leader, swatch and segment.
    if (slice.availableMemory)
        m_sliceColor = m_sliceShade = kBlack;

    // Leader line up to the label row.
    if (LineControl *leader = m_controls.progLeader1.find(n)) {
        leader->x1 = leader->x2 = mid + 16;
        leader->y1 = bar.back;
        leader->y2 = m_labelTop - 5;
        leader->borderColor = m_sliceColor;
        leader->visible = true;
    }

    // The leader's start, drawn across the top face.
    m_picture.line(mid + 16, bar.top - 12, mid + 16, bar.back, m_sliceColor);

    // Colour swatch beside the label.
    if (ShapeControl *swatch = m_controls.progLeader2.find(n)) {
        swatch->left = mid + 16;
        swatch->top = m_labelTop - 5;
        swatch->backColor = m_sliceColor;
        swatch->visible = true;
    }

    // Label and tooltip.
    m_controls.progLabel.load(n);
    if (LabelControl *label = m_controls.progLabel.find(n)) {
        label->left = mid + 24;
        label->top = m_labelTop - 6;
        label->visible = true;
        const SliceTexts &texts = textsFor(n, slice);
        label->setCaption(texts.caption);
        label->toolTipText = texts.toolTip;
    }

    // Next label row, back to the top once it would come near the bar.
    m_labelTop += 12;
    if (bar.back - m_labelTop < 5)
        m_labelTop = 10;

    // Remove what is left of higher-numbered slices.
    for (int i = n + 1;; ++i) {
        const LineControl *leader = m_controls.progLeader1.find(i);
        if (!leader || !leader->visible)
            break;
        m_controls.progLabel.unload(i);
        m_controls.progLeader1.unload(i);
        m_controls.progLeader2.unload(i);
    }
}

void ChartPlotter::drawEndFaceAndScale(ByteCount total, int magnification)
{
    if (total <= 0)
        return;
    const Bar bar = readBar(m_controls);
    const double from = std::nearbyint(static_cast<double>(bar.top) + 3);
    const double to = std::nearbyint(static_cast<double>(bar.bottom) - 2);
    if (std::isfinite(from) && std::isfinite(to) && to - from < 1.0e6) {
        for (double y = from; y <= to; ++y)
            m_picture.line(bar.x2 + 1.0, y - 1, bar.rightTopX2 + 32.0, y - 25, kEndFaceColor);
    }

    const auto totalMb = static_cast<float>(static_cast<double>(total) / 1048576.0);
    if (const auto major = majorStepFor(totalMb, magnification))
        graduate(bar.x1, bar.bottom + 6, bar.x2, bar.y2 + 6, totalMb, 4, *major);
}

void ChartPlotter::Graduate(float x1, float y1, float x2, float y2, float /*spare*/, float totalMb,
                            float minorStep, float majorStep)
{
    graduate(x1, y1, x2, y2, totalMb, minorStep, majorStep);
    m_picture.updateChanged();
}

void ChartPlotter::graduate(float x1, float y1, float x2, float y2, float totalMb, float minorStep,
                            float majorStep)
{
    if (!(totalMb > 0) || !std::isfinite(totalMb) || !std::isfinite(x1) || !std::isfinite(x2) ||
        !std::isfinite(y1) || !std::isfinite(y2))
        return; // no memory reading yet: no scale

    int next = 0;
    const float perMb = (x2 - x1) / totalMb;
    m_picture.line(x1, y1, x2, y2, kScaleColor);

    // Steps as whole megabytes; a step that rounds to 0 (or cannot be rounded) cannot
    // divide, and the condition then counts as met.
    const auto wholeStep = [](float step) -> std::int64_t {
        const double r = std::nearbyint(static_cast<double>(step));
        return std::isfinite(r) && std::abs(r) < 9.0e18 ? static_cast<std::int64_t>(r) : 0;
    };
    const std::int64_t minor = wholeStep(minorStep);
    const std::int64_t major = wholeStep(majorStep);
    const auto lastMb = static_cast<std::int64_t>(std::nearbyint(static_cast<double>(totalMb) + 1));
    const double visibleRight = m_picture.scaleWidth() + 2.0;
    // Many ticks fall on one pixel column when the bar is narrow beside the megabytes it
    // stands for. A tick on the column of the last short tick, or of the last long one
    // (which covers a short one), would only draw the same pixels again.
    long lastShort = LONG_MIN, lastLong = LONG_MIN;
    for (std::int64_t m = 0; m <= lastMb; ++m) {
        const float x = static_cast<float>(m) * perMb + x1;
        const bool onMinor = minor == 0 || m % minor == 0;
        const bool onMajor =
            major == 0 || m % major == 0 || static_cast<double>(m) == static_cast<double>(totalMb);
        const bool inView = x >= -2.0f && x <= visibleRight;
        const long column = inView ? std::lround(x) : LONG_MIN;
        if (onMinor && inView && column != lastShort && column != lastLong) {
            m_picture.line(x, y1, x, y1 + 5, kScaleColor);
            lastShort = column;
        }
        if (!onMajor)
            continue;
        if (inView && column != lastLong) {
            m_picture.line(x, y1, x, y1 + 7, kScaleColor);
            lastLong = column;
        }
        m_controls.gridLabel.load(next);
        if (LabelControl *label = m_controls.gridLabel.find(next)) {
            label->visible = true;
            label->foreColor = kScaleColor;
            // Only the label at 0 carries the unit, and sits 8 pixels right of centre.
            const auto i = static_cast<std::size_t>(next);
            if (m_gridCaptions.size() <= i)
                m_gridCaptions.resize(i + 1);
            if (m_gridCaptions[i].second.isNull() || m_gridCaptions[i].first != m)
                m_gridCaptions[i] = {m, m == 0 ? u"0 Mb"_s : QString::number(m)};
            label->setCaption(m_gridCaptions[i].second);
            if (m != 0)
                label->left = x - label->width() / 2;
            else
                label->left = x - label->width() / 2 + 8;
            label->top = y1 + 7;
            label->visible = true;
        }
        ++next;
    }

    // Remove labels that an earlier call with more major ticks left behind, up to the
    // first that is missing or hidden. (Not only up to TotalMb: a step that rounds to 0
    // labels every megabyte up to TotalMb + 1, and that last label must go too.)
    for (int j = next;; ++j) {
        const LabelControl *label = m_controls.gridLabel.find(j);
        if (!label || !label->visible)
            break;
        m_controls.gridLabel.unload(j);
    }
}

} // namespace plenwick

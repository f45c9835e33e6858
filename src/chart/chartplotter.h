#pragma once

#include "chartcontrols.h"
#include "platform/toolkit/vbcolor.h"
#include "sampling/scansnapshot.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace plenwick {

class PictureBox;

// The scale's colour (brown), used for its line, ticks and labels.
inline constexpr VbColor kScaleColor = 16512;
// The grey of the bar's right-hand end face.
inline constexpr VbColor kEndFaceColor = rgb(220, 220, 220);

// Draws the memory chart on the chart picture: the slices of a scan along the bar
// that the layout placed (element 0 of the bar outline), each with its leader, swatch
// and label, the bar's end face and the megabyte scale. Nothing here ever fails: a
// step that cannot be done is skipped and the drawing goes on.
class ChartPlotter {
public:
    ChartPlotter(PictureBox &picture, ChartControls &controls);

    // When the end face and the scale are drawn. Every slice would redraw them; they
    // come out the same each time and nothing of a slice lies over them, so drawing
    // them once after the last slice gives the same picture and labels.
    enum class EndFace { AfterLastSlice, AfterEverySlice };

    // Draws every slice of the scan, numbering the slices from 1 and the label rows
    // from the top, and tells assistive technology that the chart's labels changed.
    void plotScan(const ScanSnapshot &scan, int magnification,
                  EndFace endFace = EndFace::AfterLastSlice);

    // Draws one slice from `start` to `start + size` bytes of a bar that stands for
    // `totalPhysical` bytes, with its leader, swatch and label "name (KKb)" (tooltip:
    // directory, name and "  (M Mb)"), and removes the labels of higher slice numbers.
    void PlotProg(const Slice &slice, ByteCount totalPhysical);

    // Draws the scale under the bar: a base line, a short tick every `minorStep`
    // megabytes and a labelled long tick every `majorStep`.
    void Graduate(float x1, float y1, float x2, float y2, float spare, float totalMb,
                  float minorStep, float majorStep);

    // The scale's step between labelled ticks for a magnification: TotalMb / 8, 16,
    // 32 or 64; nothing for any other magnification.
    static std::optional<float> majorStepFor(float totalMb, int magnification);

private:
    void plotSlice(const Slice &slice, ByteCount totalPhysical);
    void graduate(float x1, float y1, float x2, float y2, float totalMb, float minorStep,
                  float majorStep);
    void drawEndFaceAndScale(ByteCount totalPhysical, int magnification);

    // A slice's label texts, made again only when its name, directory or size change.
    struct SliceTexts {
        QString name, directory;
        ByteCount size = 0;
        QString caption, toolTip;
    };
    const SliceTexts &textsFor(int n, const Slice &slice);

    PictureBox &m_picture;
    ChartControls &m_controls;
    // Number of the slice being drawn; the first slice of a scan is 1.
    std::int16_t m_sliceCount = 0;
    // y of the label row for the next slice.
    float m_labelTop = 0;
    // The two colours of the slice being drawn.
    VbColor m_sliceColor = 0;
    VbColor m_sliceShade = 0;
    // By slice number.
    std::vector<SliceTexts> m_texts;
    // By major tick number: the caption of tick `m` megabytes.
    std::vector<std::pair<std::int64_t, QString>> m_gridCaptions;
};

} // namespace plenwick

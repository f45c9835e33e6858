#pragma once

#include "chartcontrols.h"
#include "chartstate.h"
#include "platform/os/processsource.h"
#include "platform/toolkit/vbcolor.h"

#include <functional>
#include <QString>

namespace plenwick {

class PictureBox;

// What the plotting reads from elsewhere at every call.
struct ChartSources {
    // The machine's total physical memory in bytes; the whole bar stands for it.
    std::function<ByteCount()> totalPhysical;
    // The magnification, 1 to 4.
    std::function<int()> magnification;
    // Optional: hears of every slice as it is handed to `plotProg`, before anything is
    // drawn, with the exact start and size in bytes. Nothing in the program sets it;
    // tests use it to follow the slices a scan hands over.
    std::function<void(ByteCount start, ByteCount size, VbColor color, const QString &name)>
        onSlice;
};

// The scale's colour (brown), used for its line, ticks and labels.
inline constexpr VbColor kScaleColor = 16512;
// The grey of the bar's right-hand end face.
inline constexpr VbColor kEndFaceColor = rgb(220, 220, 220);

// Draws the memory chart: one slice of the bar per call of `plotProg`, and the
// megabyte scale (`graduate`). Neither ever fails: a step that cannot be done is
// skipped and the call goes on.
class ChartPlotter {
public:
    ChartPlotter(PictureBox &picture, ChartControls &controls, ChartState &state,
                 ChartSources sources);

    // Draws the slice from `start` to `start + size` bytes with its leader, swatch and
    // label "name (KKb)"; its tooltip is `directory` + name + "  (M Mb)". `color` is 0
    // for a slice coloured by its number and white for the available-memory slice.
    // Then it redraws the bar's end face and the scale.
    void plotProg(ByteCount start, ByteCount size, VbColor color, const QString &name,
                  const QString &directory);

    // Draws the scale under the bar: a base line, a short tick every `minorStep`
    // megabytes and a labelled long tick every `majorStep`.
    void graduate(float x1, float y1, float x2, float y2, float spare, float totalMb,
                  float minorStep, float majorStep);

    // Between `beginScan` and `endScan`, the end face and the scale that every slice
    // redraws are drawn once, after the last slice. They are drawn the same way each
    // time and nothing of a slice lies over them, so the picture and the labels
    // come out exactly as if they had been redrawn after every slice.
    void beginScan();
    void endScan();
    // Draws the end face and the scale after every slice even inside a scan.
    void setRedrawAfterEverySlice(bool on) { m_redrawAfterEverySlice = on; }

    // The scale's step between labelled ticks for a magnification: TotalMb / 8, 16,
    // 32 or 64; nothing for any other magnification.
    static std::optional<float> majorStepFor(float totalMb, int magnification);

private:
    void drawEndFaceAndScale();

    PictureBox &m_picture;
    ChartControls &m_controls;
    ChartState &m_state;
    ChartSources m_sources;
    int m_scanDepth = 0;
    bool m_finishPending = false;
    bool m_redrawAfterEverySlice = false;
};

} // namespace plenwick

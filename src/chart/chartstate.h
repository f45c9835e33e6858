#pragma once

#include "platform/toolkit/vbcolor.h"

#include <cstdint>

namespace plenwick {

// The plotting state that the main window keeps between slices.
struct ChartState {
    // Number of the slice being drawn; the first slice of a scan is 1.
    std::int16_t sliceCount = 0;
    // y of the label row for the next slice.
    float labelTop = 0;
    // The two colours of the slice being drawn.
    VbColor sliceColor = 0;
    VbColor sliceShade = 0;
};

} // namespace plenwick

#pragma once

#include "platform/toolkit/vbcolor.h"

namespace plenwick {

struct SliceColors {
    VbColor color;
    VbColor shade;
};

// The colours of slice number n, by the last decimal digit of n (slice 11 has the
// colours of slice 1). Negative numbers use the digit of their magnitude.
SliceColors sliceColorsFor(int sliceNumber);

// The available-memory slice is light grey with a lighter top face.
inline constexpr SliceColors kAvailableMemoryColors{rgb(250, 250, 250), rgb(230, 230, 230)};

} // namespace plenwick

#include "slicecolors.h"

#include <array>

namespace plenwick {

SliceColors sliceColorsFor(int sliceNumber)
{
    static constexpr std::array<SliceColors, 10> byDigit{{
        {rgb(255, 0, 255), rgb(180, 0, 180)},   // 0
        {rgb(255, 0, 0), rgb(180, 0, 0)},       // 1
        {rgb(255, 153, 0), rgb(180, 105, 0)},   // 2
        {rgb(255, 255, 0), rgb(180, 180, 0)},   // 3
        {rgb(185, 126, 58), rgb(130, 88, 40)},  // 4
        {rgb(147, 185, 58), rgb(103, 130, 40)}, // 5
        {rgb(58, 185, 185), rgb(40, 130, 130)}, // 6
        {rgb(0, 255, 0), rgb(0, 180, 0)},       // 7
        {rgb(58, 126, 85), rgb(40, 88, 40)},    // 8
        {rgb(0, 0, 255), rgb(0, 0, 180)},       // 9
    }};
    const int digit = sliceNumber < 0 ? -(sliceNumber % 10) : sliceNumber % 10;
    return byDigit[static_cast<std::size_t>(digit)];
}

} // namespace plenwick

#pragma once

#include <cstdint>
#include <QColor>

namespace plenwick {

// A colour packed as red + 256 * green + 65536 * blue.
using VbColor = std::uint32_t;

constexpr VbColor rgb(int red, int green, int blue)
{
    return static_cast<VbColor>(red & 0xff) | static_cast<VbColor>(green & 0xff) << 8 |
           static_cast<VbColor>(blue & 0xff) << 16;
}

constexpr int redOf(VbColor c)
{
    return static_cast<int>(c & 0xff);
}
constexpr int greenOf(VbColor c)
{
    return static_cast<int>((c >> 8) & 0xff);
}
constexpr int blueOf(VbColor c)
{
    return static_cast<int>((c >> 16) & 0xff);
}

// The same colour as an opaque 0xAARRGGBB pixel value.
constexpr std::uint32_t argbOf(VbColor c)
{
    return 0xff000000u | static_cast<std::uint32_t>(redOf(c)) << 16 |
           static_cast<std::uint32_t>(greenOf(c)) << 8 | static_cast<std::uint32_t>(blueOf(c));
}

inline QColor toQColor(VbColor c)
{
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

inline constexpr VbColor kBlack = 0;
inline constexpr VbColor kWhite = 16777215;

} // namespace plenwick

#pragma once
// What the text of a cell promises (CellMeaning, in guarantee.h), and the LED colour code a
// text names.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "base/substitute/guarantee.h"

namespace veltris {

// What a cell's text promises: "<x" is at most x, ">x" at least x, a range its two ends, a plain
// number exactly itself.
CellMeaning cellMeaning(std::string_view textCp1251);
// The LED colour code of a text packed into a number (0: no code).
std::uint64_t colourKey(std::string_view textCp1251);

namespace substitute {

inline constexpr std::array<double, 23> kPowersOfTen = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The meaning of two ends already in absolute values, with the text's "<" and ">" and the mark
// bits of its brackets (kMark*).
inline CellMeaning endsMeaning(double a, double b, bool less, bool greater, std::uint8_t marks = 0)
{
    CellMeaning m;
    m.lo = std::min(a, b);
    m.hi = std::max(a, b);
    if (m.hi == 0 || (less && greater))
        return CellMeaning{};
    if (less)
        m.lo = m.hi;
    else if (greater)
        m.hi = m.lo;
    m.known = static_cast<std::uint8_t>((less      ? kKnownHigh
                                         : greater ? kKnownLow
                                                   : (kKnownLow | kKnownHigh)) |
                                        marks);
    return m;
}

}  // namespace substitute

}  // namespace veltris

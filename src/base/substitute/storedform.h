#pragma once
// What a stored cell promises, read from its stored form (flags, value class, doubles, drawing
// number) without making its text: exactly what cellMeaning gives for the text the cell shows.
// The store's cell readers and the reader of raw base records share it.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/substitute/cellmeaning.h"
#include "base/table.h"
#include "base/valuetext.h"

namespace veltris::substitute {

// What a stored value that reads back as itself (class kValueExact) or is zero (kValueZero)
// promises: its magnitude and which ends are known. Zero, whatever its decorations, is no data.
inline std::uint8_t plainKnown(std::uint8_t flags, double v)
{
    const unsigned limit = flags & (kFlagLess | kFlagGreater);
    const bool none = limit == (kFlagLess | kFlagGreater) || v == 0;
    const unsigned ends = limit == 0 ? (kKnownLow | kKnownHigh) : limit == kFlagLess ? kKnownHigh : kKnownLow;
    return none ? 0 : static_cast<std::uint8_t>(ends | marksOfFlags(flags));
}

// The class of a stored double, as classifyValue gives it. Values of up to about 14
// significant digits are recognised with a multiplication and a division; the rest take
// classifyValue. A value equal to a decimal of at most 15 digits divided by a power of ten is
// the double that decimal reads as, so its shortest form has at most 15 digits.
inline std::uint8_t quickClass(double v)
{
    const double m = std::fabs(v);
    if (m >= 1e-7 && m < 1e15) {
        std::uint64_t bits;
        std::memcpy(&bits, &m, sizeof bits);
        const int exponent = static_cast<int>(bits >> 52) - 1023;  // m < 2^(exponent + 1)
        // 10^digits > 2^(exponent + 1) > m
        // floor((exponent + 1) * log10(2)) + 1; an estimate one too small only sends the value
        // to classifyValue.
        const int digits = (((exponent + 1) * 78913) >> 18) + 1;
        const int scale = 15 - digits;
        if (scale >= 0 && scale < static_cast<int>(kPowersOfTen.size())) {
            const double p = kPowersOfTen[static_cast<std::size_t>(scale)];
            // Rounded to a whole number (below 2^51, to nearest, ties to even).
            constexpr double kRound = 0x1.8p52;
            const double mantissa = (m * p + kRound) - kRound;
            if (mantissa < 1e15 && mantissa / p == m)
                return kValueExact;
        }
    }
    return static_cast<std::uint8_t>(classifyValue(v));
}

// The absolute value a stored double's text reads back as; false when only the text can tell.
inline bool readBackAbs(double v, std::uint8_t cls, double& out)
{
    if (cls == kValueOther)
        return false;
    out = std::fabs(readBack(v, cls));
    return true;
}

// One stored cell's fields: `classes` as the store keeps them (Value: the class of a; Range:
// a | b << 2; not used for the other kinds).
struct StoredCell {
    CellKind kind = CellKind::Text;
    std::uint8_t flags = 0;
    std::uint8_t classes = 0;
    double a = 0;
    double b = 0;
    std::int16_t drawing = 0;
};

// What a stored cell promises, from its stored form: exactly what cellMeaning gives for its
// text. A value's text is its number with decorations: brackets of any kind leave the number
// as it is, "<" and ">" make it a limit, zero (whatever the decorations) is no data. A range's
// text is its two ends, or one when they differ by at most 0.0001 (version 3: when the upper
// end's magnitude exceeds the lower's by at most that). False when only the text can tell: a
// text column, and values whose text does not read back as a number of their class.
inline bool storedMeaning(const StoredCell& c, CellMeaning& m)
{
    double a = 0;
    double b = 0;
    std::uint8_t flags = 0;
    switch (c.kind) {
    case CellKind::Text: return false;
    case CellKind::Drawing: a = b = std::fabs(static_cast<double>(c.drawing)); break;
    case CellKind::Value:
        flags = c.flags;
        if (!readBackAbs(c.a, c.classes, a))
            return false;
        b = a;
        break;
    case CellKind::Range:
        flags = c.flags;
        if (!readBackAbs(c.a, c.classes & 3u, a))
            return false;
        if (std::fabs(c.a - c.b) <= 0.0001)
            b = a;
        else if (!readBackAbs(c.b, static_cast<std::uint8_t>(c.classes >> 2 & 3u), b))
            return false;
        break;
    case CellKind::V3Range:
        // A version-3 range with a negative lower end shows in parentheses.
        flags = c.a < 0 ? kFlagParen : 0;
        if (!readBackAbs(c.a, quickClass(c.a), a))
            return false;
        if (std::fabs(c.b) - std::fabs(c.a) <= 0.0001)
            b = a;
        else if (!readBackAbs(c.b, quickClass(c.b), b))
            return false;
        break;
    }
    m = endsMeaning(a, b, (flags & kFlagLess) != 0, (flags & kFlagGreater) != 0, marksOfFlags(flags));
    return true;
}

inline StoredCell storedCell(const ColumnStore& c, std::uint32_t s)
{
    StoredCell cell;
    cell.kind = c.kind;
    const bool flagged = c.kind == CellKind::Value || c.kind == CellKind::Range;
    const bool twoEnds = c.kind == CellKind::Range || c.kind == CellKind::V3Range;
    if (c.kind == CellKind::Drawing)
        cell.drawing = c.drawing[s];
    if (flagged) {
        cell.flags = c.flags[s];
        cell.classes = c.classes[s];
    }
    if (flagged || twoEnds)
        cell.a = c.a[s];
    if (twoEnds)
        cell.b = c.b[s];
    return cell;
}

}  // namespace veltris::substitute

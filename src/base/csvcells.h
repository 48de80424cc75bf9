#pragma once
// One CSV cell read into what a base column keeps. A value cell holds the program's own text
// form: a number with the comma as decimal mark and "E" before the exponent, inside any of the
// marks "<", ">" and the brackets, with blanks around it. The stored value is what the typing
// rules make of that text; anything else in the cell (a unit, a decimal point, a letter) is
// refused rather than dropped, since dropping it changes the value ("1.5" would read as 15).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/table.h"
#include "base/valuetext.h"

namespace veltris {

inline constexpr double kExactPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

#if defined(__GNUC__)
#define VELTRIS_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define VELTRIS_ALWAYS_INLINE inline
#endif

// Reads the number at p, "[-]digits[,digits][E[-]digits]", when its digits make an integer below
// 10^15 and its decimal exponent lies within ±22: the integer and the power of ten are exact
// doubles, so one multiplication or division gives the correctly rounded value, the one the
// number parser gives, and its text of at most 15 digits reads back as itself (`cls`: the
// ValueClass, zero or exact). Returns where the
// number ends (nothing read: p itself, the value 0), or nullptr for a number outside these
// bounds, which then takes the number parser. A comma that is the field separator ends the number.
VELTRIS_ALWAYS_INLINE const char* scanExactNumber(const char* p, const char* end, double& value,
                                                  std::uint8_t& cls, char separator = '\0')
{
    constexpr std::uint64_t kExactBelow = 1000000000000000;  // 10^15
    const auto digitAt = [](const char* q) {
        return static_cast<unsigned>(static_cast<unsigned char>(*q)) - unsigned{'0'};
    };
    const bool negative = p < end && *p == '-';
    p += negative;
    // The digits wrap the integer round when there are more than 19: they are counted after.
    std::uint64_t mantissa = 0;
    const char* const intBegin = p;
    for (unsigned d; p < end && (d = digitAt(p)) < 10; ++p)
        mantissa = mantissa * 10 + d;
    std::ptrdiff_t digits = p - intBegin;
    std::ptrdiff_t fraction = 0;
    // Where the comma separates fields, it is no decimal comma.
    const bool comma = p < end && *p == ',' && separator != ',';
    if (comma) {
        const char* const fracBegin = ++p;
        for (unsigned d; p < end && (d = digitAt(p)) < 10; ++p)
            mantissa = mantissa * 10 + d;
        fraction = p - fracBegin;
        digits += fraction;
    }
    int exponent = -static_cast<int>(fraction);
    if (p < end && *p == 'E' && (digits > 0 || comma)) {
        ++p;
        const bool expNegative = p < end && *p == '-';
        p += expNegative;
        int e = 0;
        for (unsigned d; p < end && (d = digitAt(p)) < 10 && e <= 400; ++p)
            e = e * 10 + static_cast<int>(d);
        exponent += expNegative ? -e : e;
    }
    if (digits > 19 || mantissa >= kExactBelow || (negative && digits == 0 && !comma))
        return nullptr;
    // Told from the digits, not the value: nothing need wait for the division.
    cls = mantissa == 0 ? kValueZero : kValueExact;
    double v = static_cast<double>(mantissa);
    if (mantissa != 0) {
        if (exponent < -22 || exponent > 22)
            return nullptr;
        v = exponent < 0 ? v / kExactPowersOf10[-exponent] : v * kExactPowersOf10[exponent];
    }
    value = negative ? -v : v;
    return p;
}

// The number at p with the same bounds on its digits but any exponent: read by the standard
// library's correctly rounded conversion. Returns where it ends and the ValueClass of the value,
// or nullptr for anything else (more digits, no number, a value beyond the doubles).
const char* scanDecimalNumber(const char* p, const char* end, double& value, std::uint8_t& cls);

// Whether p is where a field ends: the separator, a line end or the end of the text.
VELTRIS_ALWAYS_INLINE bool atFieldEnd(const char* p, const char* end, char separator)
{
    return p == end || *p == separator || *p == '\n' || *p == '\r';
}

// Reads the value cell that fills a field starting at p when it is a number of at most 15
// significant digits (see scanExactNumber, scanDecimalNumber) with no blanks, inside any of the marks "<", ">" and the brackets; an empty
// field reads as 0. Returns the end of the field, or nullptr for a field that is anything else
// (it then takes readValueCell).
VELTRIS_ALWAYS_INLINE const char* scanValueField(const char* p, const char* end, char separator,
                                                 std::uint8_t& flags, double& value, std::uint8_t& cls)
{
    flags = 0;
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '<')
            flags |= kFlagLess;
        else if (c == '>')
            flags |= kFlagGreater;
        else if (c == '(')
            flags |= kFlagParen;
        else if (c == '[')
            flags |= kFlagBracket;
        else if (c == '{')
            flags |= kFlagBrace;
        else
            break;
    }
    if (const char* q = scanExactNumber(p, end, value, cls, separator)) {
        p = q;
    } else {
        p = separator == ',' ? nullptr : scanDecimalNumber(p, end, value, cls);
        if (p == nullptr)
            return nullptr;
    }
    if (flags != 0)
        while (p < end && (*p == ')' || *p == ']' || *p == '}'))
            ++p;
    return atFieldEnd(p, end, separator) ? p : nullptr;
}

// Why a cell could not be read; None when it could.
enum class CellFault : std::uint8_t {
    None,
    NotNumber,      // a value column
    NotRange,       // the range column
    NotDrawing,     // the drawing number column
    NotColour,      // the LED colour code column
    NameTooLong,    // the name column: more than 15 characters
    ZeroInName,     // the name column: a zero byte before other characters
    NotInCodePage,  // a UTF-8 cell with characters Windows-1251 lacks (or broken UTF-8)
};

// The Russian words that follow the cell in a message: "не число", ...
const char* cellFaultText(CellFault fault);

struct CellValue {
    std::uint8_t flags = 0;
    std::uint8_t cls = 0;  // ValueClass of the value
    double value = 0;
};
// An empty cell (or one of blanks and marks only) is flags 0 and 0.0.
CellFault readValueCell(std::string_view text, CellValue& out);

struct CellRange {
    std::uint8_t flags = 0;
    std::uint8_t cls = 0;  // ValueClass of a | ValueClass of b << 2
    double a = 0;
    double b = 0;
};
// "1,5-3", "-5-10", "(50-350)"; an empty cell is flags 0 and both ends 0.
CellFault readRangeCell(std::string_view text, CellRange& out);

// A decimal integer within -32768..32767 ("+3" too), blanks around; an empty cell is 0.
CellFault readDrawingCell(std::string_view text, std::int16_t& out);

// A text cell (a name, a colour code) a spreadsheet would run as a formula begins with "=",
// "+", "-", "@", a tab or a CR. The export writes such a text after an apostrophe, which
// spreadsheets take for "text follows", and the import takes exactly that apostrophe away. A
// text that already begins with apostrophes before such a character gets one more, so every
// text comes back as it was: export, import and export again give the same bytes.
bool needsFormulaGuard(std::string_view text);
// The text as the export gave it, the apostrophe of the guard taken away.
std::string_view withoutFormulaGuard(std::string_view text);

// The letters of the colour code in either case, "-", "/", blanks and zero bytes.
CellFault checkColourCell(std::string_view text);

// At most 15 characters (Windows-1251 bytes), no zero byte inside (zero bytes at its end, the
// padding a damaged length byte shows, are kept as the base reader gives them).
CellFault checkNameCell(std::string_view text);

}  // namespace veltris

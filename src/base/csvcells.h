#pragma once
// One CSV cell read into what a base column keeps. A value cell holds the program's own text
// form: a number with the comma as decimal mark and "E" before the exponent, inside any of the
// marks "<", ">" and the brackets, with blanks around it. The stored value is what the typing
// rules make of that text; anything else in the cell (a unit, a decimal point, a letter) is
// refused rather than dropped, since dropping it changes the value ("1.5" would read as 15).
#include <cstdint>
#include <string_view>

namespace veltris {

// Why a cell could not be read; None when it could.
enum class CellFault : std::uint8_t {
    None,
    NotNumber,     // a value column
    NotRange,      // the range column
    NotDrawing,    // the drawing number column
    NotColour,     // the LED colour code column
    NameTooLong,   // the name column: more than 15 characters
    NotInCodePage, // a UTF-8 cell with characters Windows-1251 lacks (or broken UTF-8)
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

// The letters of the colour code in either case, "-", "/", blanks and zero bytes.
CellFault checkColourCell(std::string_view text);

// At most 15 characters (Windows-1251 bytes).
CellFault checkNameCell(std::string_view text);

}  // namespace veltris

#pragma once
// Reading what a person types into a value cell: a number as engineers write it, with its
// marks, an SI prefix and a unit, converted into the unit of the column. Every place that takes a
// typed number (the record dialog, the table, selection bounds, the finder, qdb, CSV import)
// reads it here. A text is either read as meant or refused, naming what was not understood; no
// character is ever dropped.
//
// What reads (texts are UTF-8):
//   - "1,5" and "1.5"; "10 000" (blanks between groups of three digits); ".5"; "-5", "−5" (U+2212);
//     "1E-5", "1e-5";
//   - SI prefixes, case-significant: п p, н n, мк u µ, м m, к k K, М M, Г G; "4к7" is 4,7 к;
//   - a unit after the number: "1,5 А", "200 мкА", "1 нФ", "1,2 ГГц", "4,7 кОм", "25 °С";
//     converted into the column's unit; a unit of another quantity is refused;
//   - a prefix without a unit: in a column whose unit has no prefix (В, А, Вт, Ом, Гц) or no
//     unit at all it multiplies ("4к7" in volts is 4700); elsewhere (мА, пФ, МГц) it is refused,
//     naming the units to write;
//   - the marks the base keeps: "<", ">", "≤" (kept as "<"), "≥" (kept as ">"), "(x)", "[x]",
//     "{x}"; ranges "50-350", "50…350", "50 - 350" in the range column.
#include <cstdint>
#include <string>
#include <string_view>

namespace veltris {

// The unit a column's title names after its last comma ("Iк max,|мА"), as this reader uses it.
struct ColumnUnit {
    enum class Kind : std::uint8_t {
        None,      // no unit in the title: numbers as typed, a prefix multiplies
        Plain,     // a unit that takes prefixes, written without one (В, А, Вт, Ом, Гц)
        Prefixed,  // the same with a prefix (мА, пФ, МГц): a bare prefix is ambiguous
        Fixed,     // a unit that takes no prefix (°С, дБ, %/°С)
        Other,     // a unit not known here (В/мкс, град): only its own text may follow a number
    };
    Kind kind = Kind::None;
    std::uint8_t quantity = 0;  // what the unit measures (Plain, Prefixed, Fixed)
    int exponent = 0;           // the power of ten of its prefix
    std::string text;           // UTF-8, as the title writes it: "мА"
};

// The unit of a column title in Windows-1251 (the table's header text).
ColumnUnit columnUnitOfTitle(std::string_view titleCp1251);
// The same for a title in UTF-8.
ColumnUnit columnUnitOfUtf8Title(std::string_view titleUtf8);

// A typed text as the base keeps it.
struct TypedValue {
    std::uint8_t flags = 0;  // ValueFlag marks
    double a = 0;            // the value; the lower end of a range
    double b = 0;            // the upper end of a range; `a` for a single value
    bool empty = true;       // nothing but blanks was typed (the base keeps 0)
    bool converted = false;  // a prefix or a unit was read and applied
};

struct TypedReading {
    bool ok = true;
    TypedValue value;
    // When !ok, in Russian: what was not understood ("не понято «/2»"), and a text that reads
    // in this column ("1,5 мА").
    std::string problem;
    std::string example;
};

// Reads `text` (UTF-8) typed into a column of `unit`; `rangeColumn` for the column that keeps a
// range. In the range column a single number x is a = b = x, except that a single negative
// number -x is kept as the base keeps it: a = -x, b = x.
TypedReading readTypedValue(std::string_view text, const ColumnUnit& unit, bool rangeColumn = false);

// The cell text of what was read (Windows-1251 = ASCII here): the text the base shows for it.
std::string typedValueText(const TypedValue& value, bool rangeColumn);

// "Столбец «Iк max, мА»: не понято «/2». Пример: 1,5 мА" (UTF-8; `title` in UTF-8).
std::string typedRefusalMessage(std::string_view title, const TypedReading& reading);

// What a column of a base keeps, for reading what is typed into it.
enum class TypedColumn : std::uint8_t {
    Name,     // up to 15 characters of Windows-1251
    Value,    // a number with its marks
    Range,    // a number or a range of two
    Colour,   // the LED colour code letters
    Drawing,  // the package drawing number, a whole number
};
// The kind of main-table column `col` of a base of device type `code` whose table has
// `columnCount` columns (the last one holds the drawing number).
TypedColumn typedColumnKind(int code, int columnCount, int col);

// A typed text turned into the cell text the base keeps (Windows-1251), or refused.
struct TypedCell {
    bool ok = true;
    std::string text;      // the cell text (ok)
    bool changed = false;  // the cell text says the same in other words than typed ("1,5 А" -> "1500")
    std::string message;   // the refusal naming the column (!ok), UTF-8
};
// `typed` in UTF-8; `titleCp1251` is the column's title in the table (for its unit and the message).
TypedCell typedCellText(std::string_view typed, std::string_view titleCp1251, TypedColumn kind);

}  // namespace veltris

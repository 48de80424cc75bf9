#pragma once
// Text forms of stored values. Decimal separator: always the comma. No locale, no printf.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.h"

namespace veltris {

enum ValueFlag : std::uint8_t {
    kFlagParen = 0x01,    // (text)
    kFlagBracket = 0x02,  // [text]
    kFlagBrace = 0x04,    // {text}
    kFlagLess = 0x08,     // <text
    kFlagGreater = 0x10,  // >text
};

// Shortest text with at most 15 significant digits; fixed for 1E-4 <= |v| < 1E15 (judged on the
// rounded value), else "1E-5" style. 0 gives "0".
std::string numberText(double v);

// The number the 15-digit text of v reads back as (v rounded to 15 significant digits, then
// read as the nearest double), for finite v with 1E-300 <= |v| <= 1E300.
double roundTo15Digits(double v);

// Keeps ',', '-', '0'..'9' and 'E'; drops everything else.
std::string numericFilter(std::string_view text);

// Parses a numeric-filter result: [-] digits [, digits] [E [-] digits]. A lone "," is 0, "5E" is 5.
// Error: InvalidNumber, message "«<text>» не читается как число".
Result<double> parseNumber(std::string_view filtered);

struct Range {
    double a = 0;
    double b = 0;
};
// Splits a filtered text into its two ends: "1,5-3" -> 1,5 and 3; "-5-10" -> -5 and 10;
// "-5" -> -5 and 5; "7" -> 7 and 7; "" -> 0 and 0. A minus right after "E" is an exponent sign:
// "1E-5" -> 1E-5 both; "1E-5-2E-3" -> 1E-5 and 2E-3. Errors as parseNumber.
Result<Range> parseRange(std::string_view filtered);

// Stored value -> cell text (format versions 4 and 5).
std::string flaggedValueText(std::uint8_t flags, double v);
std::string rangeValueText(std::uint8_t flags, double a, double b);
// Version 3 (no flags).
std::string v3ValueText(double v);
std::string v3RangeText(double a, double b);

// Flags that a cell text asks for: '(' '[' '{' '<' '>' anywhere in the text.
std::uint8_t flagsOfText(std::string_view text);

struct FlaggedValue {
    std::uint8_t flags = 0;
    double value = 0;
};
// Cell text -> stored value; an empty filter result gives flags 0 and 0.0.
Result<FlaggedValue> cellToFlaggedValue(std::string_view text);

// "«<text>» не читается как число"
std::string invalidNumberMessage(std::string_view text);

}  // namespace veltris

#pragma once
// Small pieces of reading typed and stored text: blanks around a text, a whole number.
#include <optional>
#include <string_view>

namespace veltris {

// `s` without the blanks (spaces and tabs) before and after it.
std::string_view trimBlanks(std::string_view s);

// The whole number `s` spells from its first character to its last: decimal digits with an
// optional leading "-"; nothing for anything else (blanks, "+", a fraction, a number outside int).
std::optional<int> parseInteger(std::string_view s);

}  // namespace veltris

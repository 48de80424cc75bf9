#include "base/textparse.h"

#include <charconv>
#include <system_error>

namespace veltris {

std::string_view trimBlanks(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::optional<int> parseInteger(std::string_view s)
{
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

}  // namespace veltris

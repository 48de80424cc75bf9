#include "base/substitute/cellmeaning.h"

#include <cmath>
#include <cstring>
#include <string>

#include "base/valuetext.h"

namespace veltris {

using substitute::endsMeaning;
using substitute::kPowersOfTen;

namespace {

// "digits[,digits]" at p, exactly as the number parser reads it: at most 15 digits, so the
// mantissa is exact and one division by a power of ten rounds correctly. Anything else -> false.
bool scanDecimal(const char*& p, const char* end, double& out)
{
    std::int64_t mantissa = 0;
    int digits = 0;
    int scale = 0;
    bool comma = false;
    for (; p != end; ++p) {
        const char ch = *p;
        if (ch >= '0' && ch <= '9') {
            mantissa = mantissa * 10 + (ch - '0');
            ++digits;
            scale += comma ? 1 : 0;
        } else if (ch == ',' && !comma) {
            comma = true;
        } else {
            break;
        }
    }
    if (digits == 0 || digits > 15)
        return false;
    out = static_cast<double>(mantissa) / kPowersOfTen[static_cast<std::size_t>(scale)];
    return true;
}

bool isOpening(char c)
{
    return c == '(' || c == '[' || c == '{' || c == '<' || c == '>' || c == ' ';
}

bool isClosing(char c)
{
    return c == ')' || c == ']' || c == '}' || c == ' ';
}

// The ends of the common forms "x", "-x", "x-y", decorated: the text's two numbers as the range
// parser would give them, and whether "<" and ">" came with them. False for anything else.
bool quickEnds(std::string_view text, double& a, double& b, bool& less, bool& greater, std::uint8_t& marks)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    for (; p != end && isOpening(*p); ++p) {
        less |= *p == '<';
        greater |= *p == '>';
        marks |= *p == '(' ? kMarkTypical : *p == '[' ? kMarkBracket : *p == '{' ? kMarkBrace : 0;
    }
    if (p == end)
        return false;
    if (*p == '-')
        ++p;
    if (!scanDecimal(p, end, a))
        return false;
    b = a;
    if (p != end && *p == '-') {
        ++p;
        if (!scanDecimal(p, end, b))
            return false;
    }
    while (p != end && isClosing(*p))
        ++p;
    return p == end;
}

}  // namespace

// What the text of a value promises. "<x" is at most x, ">x" at least x, a range its two ends,
// a plain number exactly itself. Parentheses, brackets and braces mark the kind of figure
// (typical value, other conditions): they leave the number what it is and are kept as the
// mark bits, as the stored flags would give them (any opening bracket anywhere). An empty cell and 0 are the same stored value, the
// absence of data, so both are unknown; so is a text that is no number, and one that says both
// "<" and ">".
CellMeaning cellMeaning(std::string_view text)
{
    double a = 0;
    double b = 0;
    bool less = false;
    bool greater = false;
    std::uint8_t marks = 0;
    if (!quickEnds(text, a, b, less, greater, marks)) {
        const std::string filtered = numericFilter(text);
        if (filtered.empty())
            return {};
        const auto range = parseRange(filtered);
        if (!range)
            return {};
        a = range->a;
        b = range->b;
        less = text.find('<') != std::string_view::npos;
        greater = text.find('>') != std::string_view::npos;
        marks = 0;
        marks |= text.find('(') != std::string_view::npos ? kMarkTypical : 0;
        marks |= text.find('[') != std::string_view::npos ? kMarkBracket : 0;
        marks |= text.find('{') != std::string_view::npos ? kMarkBrace : 0;
    }
    a = std::fabs(a);
    b = std::fabs(b);
    if (!std::isfinite(a) || !std::isfinite(b))
        return {};
    return endsMeaning(a, b, less, greater, marks);
}

std::uint64_t colourKey(std::string_view text)
{
    std::uint64_t key = 0;
    int count = 0;
    for (char ch : text) {
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
        if (std::strchr("-/BGIJORY", ch) == nullptr || ch == '\0')
            continue;
        key = key << 8 | static_cast<unsigned char>(ch);
        if (++count == 8)
            break;
    }
    return key;
}

}  // namespace veltris

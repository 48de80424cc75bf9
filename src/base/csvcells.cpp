#include "base/csvcells.h"

#include <charconv>
#include <cstring>

#include "base/recordlayout.h"
#include "base/table.h"
#include "base/valuetext.h"

namespace veltris {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view t)
{
    while (!t.empty() && isBlank(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && isBlank(t.back()))
        t.remove_suffix(1);
    return t;
}

// The number inside the marks: opening marks "([{<>" before it, closing brackets after it.
// False when anything but a digit, ',', '-' or 'E' is left inside.
bool markedCore(std::string_view text, std::string_view& core)
{
    std::size_t i = 0;
    std::size_t j = text.size();
    while (i < j && std::strchr("([{<>", text[i]) != nullptr)
        ++i;
    while (j > i && std::strchr(")]}", text[j - 1]) != nullptr)
        --j;
    core = text.substr(i, j - i);
    for (const char c : core)
        if (!((c >= '0' && c <= '9') || c == ',' || c == '-' || c == 'E'))
            return false;
    return true;
}

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common number, "[-]digits[,digits][E[-]digits]" with at most 15 significant digits and a
// small exponent: its digits and the power of ten are exact doubles, so one multiplication or
// division gives the correctly rounded value, the one the number parser gives. False for
// anything else, which takes the parser.
bool fastNumber(std::string_view t, double& out)
{
    std::size_t i = 0;
    const std::size_t n = t.size();
    bool negative = false;
    if (i < n && t[i] == '-') {
        negative = true;
        ++i;
    }
    std::uint64_t mantissa = 0;
    int digits = 0;      // significant digits taken
    int exponent = 0;    // decimal exponent of the last digit
    bool anyDigit = false;
    for (; i < n && t[i] >= '0' && t[i] <= '9'; ++i) {
        anyDigit = true;
        if (mantissa == 0 && t[i] == '0')
            continue;
        if (++digits > 15)
            return false;
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(t[i] - '0');
    }
    if (i < n && t[i] == ',') {
        ++i;
        for (; i < n && t[i] >= '0' && t[i] <= '9'; ++i) {
            anyDigit = true;
            --exponent;
            if (mantissa == 0 && t[i] == '0')
                continue;
            if (++digits > 15)
                return false;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(t[i] - '0');
        }
    } else if (!anyDigit) {
        return false;
    }
    if (i < n && t[i] == 'E') {
        ++i;
        bool expNegative = false;
        if (i < n && t[i] == '-') {
            expNegative = true;
            ++i;
        }
        int e = 0;
        for (; i < n && t[i] >= '0' && t[i] <= '9'; ++i) {
            e = e * 10 + (t[i] - '0');
            if (e > 400)
                return false;
        }
        exponent += expNegative ? -e : e;
    }
    if (i != n)
        return false;
    double v = static_cast<double>(mantissa);
    if (mantissa != 0) {
        if (exponent < -22 || exponent > 22)
            return false;
        v = exponent < 0 ? v / kPow10[-exponent] : v * kPow10[exponent];
    }
    out = negative ? -v : v;
    return true;
}

}  // namespace

const char* cellFaultText(CellFault fault)
{
    switch (fault) {
    case CellFault::None: return "";
    case CellFault::NotNumber: return "не число";
    case CellFault::NotRange: return "не число и не диапазон чисел";
    case CellFault::NotDrawing: return "не номер рисунка (целое число от -32768 до 32767)";
    case CellFault::NotColour: return "не код цвета (буквы B, G, I, J, O, R, Y и знаки «-», «/»)";
    case CellFault::NameTooLong: return "название длиннее 15 знаков";
    case CellFault::NotInCodePage: return "есть знаки, которых нет в кодировке Windows-1251";
    }
    return "";
}

CellFault readValueCell(std::string_view text, CellValue& out)
{
    out = CellValue{};
    text = trimmed(text);
    if (text.empty())
        return CellFault::None;
    // The commonest cell: a plain number.
    if (fastNumber(text, out.value)) {
        out.cls = out.value == 0 ? kValueZero : kValueExact;
        return CellFault::None;
    }
    std::string_view core;
    if (!markedCore(text, core))
        return CellFault::NotNumber;
    if (core.empty())
        return CellFault::None;
    if (fastNumber(core, out.value)) {
        out.cls = out.value == 0 ? kValueZero : kValueExact;
    } else {
        const auto v = parseNumber(core);
        if (!v)
            return CellFault::NotNumber;
        out.value = *v;
        out.cls = classifyValue(out.value);
    }
    out.flags = flagsOfText(text);
    return CellFault::None;
}

CellFault readRangeCell(std::string_view text, CellRange& out)
{
    out = CellRange{};
    text = trimmed(text);
    std::string_view core;
    if (!markedCore(text, core))
        return CellFault::NotRange;
    if (core.empty())
        return CellFault::None;
    const auto range = parseRange(core);
    if (!range)
        return CellFault::NotRange;
    out.flags = flagsOfText(text);
    out.a = range->a;
    out.b = range->b;
    out.cls = static_cast<std::uint8_t>(classifyValue(out.a) | classifyValue(out.b) << 2);
    return CellFault::None;
}

CellFault readDrawingCell(std::string_view text, std::int16_t& out)
{
    out = 0;
    text = trimmed(text);
    if (text.empty())
        return CellFault::None;
    const char* b = text.data();
    const char* e = b + text.size();
    if (*b == '+') {
        ++b;
        if (b == e || *b == '-')
            return CellFault::NotDrawing;
    }
    int v = 0;
    const auto r = std::from_chars(b, e, v);
    if (r.ec != std::errc() || r.ptr != e || v < -32768 || v > 32767)
        return CellFault::NotDrawing;
    out = static_cast<std::int16_t>(v);
    return CellFault::None;
}

CellFault checkColourCell(std::string_view text)
{
    for (const char c : text)
        if (c != '\0' && std::strchr("-/ BGIJORYbgijory", c) == nullptr)
            return CellFault::NotColour;
    return CellFault::None;
}

CellFault checkNameCell(std::string_view text)
{
    return text.size() > static_cast<std::size_t>(record::kNameMax) ? CellFault::NameTooLong : CellFault::None;
}

}  // namespace veltris

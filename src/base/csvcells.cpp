#include "base/csvcells.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "base/recordlayout.h"
#include "base/table.h"
#include "base/textparse.h"
#include "base/valuetext.h"

namespace veltris {

namespace {

// The number inside the marks: opening marks "([{<>" before it, closing brackets after it.
// False when anything but a digit, ',', '-' or 'E' is left inside.
bool markedCore(std::string_view text, std::string_view& core)
{
    const auto opening = [](char c) { return c == '(' || c == '[' || c == '{' || c == '<' || c == '>'; };
    const auto closing = [](char c) { return c == ')' || c == ']' || c == '}'; };
    std::size_t i = 0;
    std::size_t j = text.size();
    while (i < j && opening(text[i]))
        ++i;
    while (j > i && closing(text[j - 1]))
        --j;
    core = text.substr(i, j - i);
    for (const char c : core)
        if (!((c >= '0' && c <= '9') || c == ',' || c == '-' || c == 'E'))
            return false;
    return true;
}

// A whole text that is a plain number (see scanPlainNumber).
bool fastNumber(std::string_view t, double& out)
{
    const char* end = t.data() + t.size();
    std::uint8_t cls = 0;
    return !t.empty() && scanExactNumber(t.data(), end, out, cls) == end;
}

std::uint8_t fastClass(double v)
{
    return v == 0 ? kValueZero : kValueExact;
}

}  // namespace

const char* scanDecimalNumber(const char* p, const char* end, double& value, std::uint8_t& cls)
{
    // Rebuilt as "[-]digits[.digits][e[-]digits]" for std::from_chars.
    char buf[64];
    std::size_t n = 0;
    const auto put = [&](char c) {
        if (n < sizeof buf)
            buf[n++] = c;
    };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (p < end && *p == '-')
        put(*p++);
    int significant = 0;
    bool any = false;
    const auto digits = [&] {
        for (; p < end && digit(*p); ++p) {
            any = true;
            if (significant > 0 || *p != '0')
                ++significant;
            put(*p);
        }
    };
    digits();
    if (p < end && *p == ',') {
        ++p;
        put('.');
        digits();
        any = true;
    }
    if (!any || significant > 15)
        return nullptr;
    if (p < end && *p == 'E') {
        ++p;
        put('e');
        if (p < end && *p == '-')
            put(*p++);
        const std::size_t before = n;
        for (; p < end && digit(*p); ++p)
            put(*p);
        if (n == before)
            n -= buf[n - 1] == '-' ? 2 : 1;  // "5E" and "5E-" read as 5
    }
    if (n >= sizeof buf)
        return nullptr;
    const std::string_view text(buf, n);
    if (text == "." || text == "-.") {  // a lone comma reads as 0
        value = 0;
        cls = kValueZero;
        return p;
    }
    const auto r = std::from_chars(buf, buf + n, value);
    if (r.ec != std::errc() || r.ptr != buf + n)
        return nullptr;
    // A text of at most 15 digits reads back as a normal value.
    cls = value == 0 ? kValueZero : std::isnormal(value) ? kValueExact : classifyValue(value);
    return p;
}

const char* cellFaultText(CellFault fault)
{
    switch (fault) {
    case CellFault::None: return "";
    case CellFault::NotNumber: return "не число";
    case CellFault::NotRange: return "не число и не диапазон чисел";
    case CellFault::NotDrawing: return "не номер рисунка (целое число от -32768 до 32767)";
    case CellFault::NotColour: return "не код цвета (буквы B, G, I, J, O, R, Y и знаки «-», «/»)";
    case CellFault::NameTooLong: return "название длиннее 15 знаков";
    case CellFault::ZeroInName: return "в названии нулевой байт";
    case CellFault::NotInCodePage: return "есть знаки, которых нет в кодировке Windows-1251";
    }
    return "";
}

CellFault readValueCell(std::string_view text, CellValue& out)
{
    out = CellValue{};
    if (text.empty())
        return CellFault::None;
    // The commonest cell: a plain number.
    if (fastNumber(text, out.value)) {
        out.cls = fastClass(out.value);
        return CellFault::None;
    }
    text = trimBlanks(text);
    if (text.empty())
        return CellFault::None;
    std::string_view core;
    if (!markedCore(text, core))
        return CellFault::NotNumber;
    if (core.empty())
        return CellFault::None;
    if (fastNumber(core, out.value)) {
        out.cls = fastClass(out.value);
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
    text = trimBlanks(text);
    std::string_view core;
    if (!markedCore(text, core))
        return CellFault::NotRange;
    if (core.empty())
        return CellFault::None;
    out.flags = flagsOfText(text);
    // The common range "a-b" or "a" of plain numbers; anything else takes the range parser.
    if (core.find('E') == std::string_view::npos && core.front() != '-') {
        const std::size_t dash = core.find('-');
        const std::string_view a = core.substr(0, dash);
        const std::string_view b = dash == std::string_view::npos ? a : core.substr(dash + 1);
        if (!a.empty() && !b.empty() && fastNumber(a, out.a) && fastNumber(b, out.b) && out.b >= 0) {
            out.cls = static_cast<std::uint8_t>(fastClass(out.a) | fastClass(out.b) << 2);
            return CellFault::None;
        }
    }
    const auto range = parseRange(core);
    if (!range)
        return CellFault::NotRange;
    out.a = range->a;
    out.b = range->b;
    out.cls = static_cast<std::uint8_t>(classifyValue(out.a) | classifyValue(out.b) << 2);
    return CellFault::None;
}

CellFault readDrawingCell(std::string_view text, std::int16_t& out)
{
    out = 0;
    text = trimBlanks(text);
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

bool needsFormulaGuard(std::string_view text)
{
    const std::size_t first = text.find_first_not_of('\'');
    return first != std::string_view::npos && std::strchr("=+-@\t\r", text[first]) != nullptr &&
           text[first] != '\0';
}

std::string_view withoutFormulaGuard(std::string_view text)
{
    if (text.starts_with('\'') && needsFormulaGuard(text.substr(1)))
        text.remove_prefix(1);
    return text;
}

CellFault checkNameCell(std::string_view text)
{
    if (text.size() > static_cast<std::size_t>(record::kNameMax))
        return CellFault::NameTooLong;
    const std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos && text.find_first_not_of('\0', zero) != std::string_view::npos)
        return CellFault::ZeroInName;
    return CellFault::None;
}

}  // namespace veltris

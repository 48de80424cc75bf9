#include "base/valuetext.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <system_error>

namespace veltris {

namespace {

constexpr int kDigits = 15;

Error invalidNumber(std::string_view text)
{
    return Error{ErrorKind::InvalidNumber, invalidNumberMessage(text)};
}

// Checks the grammar [-] digits [, digits] [E [-] digits] and converts. `zeroLead` parses the text
// as if a "0" stood before it (the range parser's replaced leading minus) without copying it.
Result<double> parseNumberImpl(std::string_view text, bool zeroLead)
{
    const auto fail = [&]() -> Result<double> {
        if (!zeroLead)
            return invalidNumber(text);
        std::string shown = "0";
        shown += text;
        return invalidNumber(shown);
    };

    std::size_t i = 0;
    const std::size_t n = text.size();
    bool negative = false;
    if (!zeroLead && i < n && text[i] == '-') {
        negative = true;
        ++i;
    }
    const std::size_t intBegin = i;
    while (i < n && text[i] >= '0' && text[i] <= '9')
        ++i;
    const std::string_view intPart = text.substr(intBegin, i - intBegin);
    bool comma = false;
    std::string_view fracPart;
    if (i < n && text[i] == ',') {
        comma = true;
        const std::size_t fracBegin = ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9')
            ++i;
        fracPart = text.substr(fracBegin, i - fracBegin);
    }
    if (!zeroLead && intPart.empty() && !comma)
        return fail();
    bool expNegative = false;
    std::string_view expPart;
    if (i < n && text[i] == 'E') {
        ++i;
        if (i < n && text[i] == '-') {
            expNegative = true;
            ++i;
        }
        const std::size_t expBegin = i;
        while (i < n && text[i] >= '0' && text[i] <= '9')
            ++i;
        expPart = text.substr(expBegin, i - expBegin);
    }
    if (i != n)
        return fail();

    // Rebuild in the form from_chars reads: '.' for the comma, "0" for an empty mantissa,
    // no exponent when its digits are missing.
    const std::size_t need = 4 + intPart.size() + fracPart.size() + expPart.size();
    char small[128];
    std::string large;
    char* buf = small;
    if (need > sizeof small) {
        large.resize(need);
        buf = large.data();
    }
    char* p = buf;
    if (negative)
        *p++ = '-';
    if (intPart.empty() && fracPart.empty()) {
        *p++ = '0';
    } else {
        if (intPart.empty())
            *p++ = '0';
        for (char c : intPart)
            *p++ = c;
        if (!fracPart.empty()) {
            *p++ = '.';
            for (char c : fracPart)
                *p++ = c;
        }
    }
    if (!expPart.empty()) {
        *p++ = 'e';
        if (expNegative)
            *p++ = '-';
        for (char c : expPart)
            *p++ = c;
    }

    double value = 0;
    const auto [end, ec] = std::from_chars(buf, p, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range && end == p) {
        // The largest doubles show as 1,79769313486232E308, just above the largest double once
        // rounded to 15 digits; that text must read back, or such a base could not be saved.
        long double wide = 0;
        std::from_chars(buf, p, wide, std::chars_format::general);
        constexpr long double kLimit = 1.79769313486232e308L;
        if (std::fabs(wide) <= kLimit && std::fabs(wide) > 1)
            return std::copysign(std::numeric_limits<double>::max(), static_cast<double>(wide));
    }
    // Out of range (overflow or underflow to zero) fails rather than storing inf or a false 0.
    if (ec != std::errc() || end != p || !std::isfinite(value))
        return fail();
    return value;
}

// t decorated by the value flags, innermost first: "<", ">", "()", "[]", "{}".
std::string decorate(std::uint8_t flags, std::string t)
{
    if (flags == 0)
        return t;
    std::string out;
    out.reserve(t.size() + 8);
    if (flags & kFlagBrace)
        out += '{';
    if (flags & kFlagBracket)
        out += '[';
    if (flags & kFlagParen)
        out += '(';
    if (flags & kFlagGreater)
        out += '>';
    if (flags & kFlagLess)
        out += '<';
    out += t;
    if (flags & kFlagParen)
        out += ')';
    if (flags & kFlagBracket)
        out += ']';
    if (flags & kFlagBrace)
        out += '}';
    return out;
}

std::string rangeText(double a, double b, bool single)
{
    if (single)
        return numberText(a);
    std::string t = numberText(a);
    t += '-';
    t += numberText(b);
    return t;
}

}  // namespace

std::string numberText(double v)
{
    if (v == 0)
        return "0";
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";

    // "d.ddde[+-]xx". The shortest form that reads back as v is tried first: when it has at
    // most 15 significant digits it equals the value rounded to 15 digits (half a double's ulp
    // is below half a unit of the 15th digit; not so for subnormals), and it is much cheaper.
    char sci[40];
    auto r = std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific);
    int mantissa = 0;
    for (const char* q = sci; q != r.ptr && *q != 'e'; ++q)
        mantissa += *q != '.';
    if (mantissa > kDigits || !std::isnormal(v))
        r = std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific,
                          kDigits - 1);
    char digits[kDigits];
    int count = 0;
    const char* p = sci;
    for (; p != r.ptr && *p != 'e'; ++p) {
        if (*p != '.')
            digits[count++] = *p;
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), r.ptr, exponent);
    while (count > 1 && digits[count - 1] == '0')
        --count;

    char out[48];
    char* o = out;
    if (v < 0)
        *o++ = '-';
    if (exponent >= -4 && exponent < kDigits) {
        if (exponent < 0) {
            *o++ = '0';
            *o++ = ',';
            for (int k = -1; k > exponent; --k)
                *o++ = '0';
            for (int k = 0; k < count; ++k)
                *o++ = digits[k];
        } else {
            for (int k = 0; k <= exponent; ++k)
                *o++ = k < count ? digits[k] : '0';
            if (count > exponent + 1) {
                *o++ = ',';
                for (int k = exponent + 1; k < count; ++k)
                    *o++ = digits[k];
            }
        }
    } else {
        *o++ = digits[0];
        if (count > 1) {
            *o++ = ',';
            for (int k = 1; k < count; ++k)
                *o++ = digits[k];
        }
        *o++ = 'E';
        if (exponent < 0)
            *o++ = '-';
        o = std::to_chars(o, out + sizeof out, std::abs(exponent)).ptr;
    }
    return std::string(out, o);
}

std::string numericFilter(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if ((c >= '0' && c <= '9') || c == ',' || c == '-' || c == 'E')
            out += c;
    }
    return out;
}

Result<double> parseNumber(std::string_view filtered)
{
    return parseNumberImpl(filtered, false);
}

Result<Range> parseRange(std::string_view filtered)
{
    Range range;
    if (filtered.empty())
        return range;

    // A leading minus counts as "0" and makes the lower end negative.
    const bool lowerNegative = filtered.front() == '-';
    const std::string_view rest = lowerNegative ? filtered.substr(1) : filtered;

    // Split at the first minus that is neither the leading one nor an exponent sign.
    std::size_t split = std::string_view::npos;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '-')
            continue;
        const bool afterE = i > 0 ? rest[i - 1] == 'E' : false;
        if (!afterE) {
            split = i;
            break;
        }
    }

    if (split == std::string_view::npos) {
        auto a = parseNumberImpl(rest, lowerNegative);
        if (!a)
            return a.error();
        range.a = *a;
        range.b = *a;
    } else {
        auto a = parseNumberImpl(rest.substr(0, split), lowerNegative);
        if (!a)
            return a.error();
        auto b = parseNumberImpl(rest.substr(split + 1), false);
        if (!b)
            return b.error();
        range.a = *a;
        range.b = *b;
    }
    if (lowerNegative)
        range.a = -range.a;
    return range;
}

std::string flaggedValueText(std::uint8_t flags, double v)
{
    if (v == 0)
        return "0";
    return decorate(flags, numberText(v));
}

std::string rangeValueText(std::uint8_t flags, double a, double b)
{
    return decorate(flags, rangeText(a, b, std::fabs(a - b) <= 0.0001));
}

std::string v3ValueText(double v)
{
    if (v < 0) {
        std::string t = "(";
        t += numberText(-v);
        t += ')';
        return t;
    }
    return numberText(v);
}

std::string v3RangeText(double a, double b)
{
    std::string t = rangeText(a, b, std::fabs(b) - std::fabs(a) <= 0.0001);
    if (!t.empty() && t.front() == '-') {
        t.front() = '(';
        t += ')';
    }
    return t;
}

std::uint8_t flagsOfText(std::string_view text)
{
    std::uint8_t flags = 0;
    for (char c : text) {
        switch (c) {
        case '(': flags |= kFlagParen; break;
        case '[': flags |= kFlagBracket; break;
        case '{': flags |= kFlagBrace; break;
        case '<': flags |= kFlagLess; break;
        case '>': flags |= kFlagGreater; break;
        default: break;
        }
    }
    return flags;
}

Result<FlaggedValue> cellToFlaggedValue(std::string_view text)
{
    // Filter into a stack buffer: this runs for every cell of a saved base.
    char small[64];
    std::string large;
    char* buf = small;
    if (text.size() > sizeof small) {
        large.resize(text.size());
        buf = large.data();
    }
    std::size_t len = 0;
    for (char c : text) {
        if ((c >= '0' && c <= '9') || c == ',' || c == '-' || c == 'E')
            buf[len++] = c;
    }
    if (len == 0)
        return FlaggedValue{};
    auto value = parseNumberImpl(std::string_view(buf, len), false);
    if (!value)
        return value.error();
    return FlaggedValue{flagsOfText(text), *value};
}

std::string invalidNumberMessage(std::string_view text)
{
    std::string msg;
    msg.reserve(text.size() + 40);
    msg += '\'';
    msg += text;
    msg += "' is not a valid floating point value";
    return msg;
}

}  // namespace veltris

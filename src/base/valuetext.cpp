#include "base/valuetext.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
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

// Rounds through the text: the digits come from the exact binary value, the reading gives the
// nearest double.
double roundTo15DigitsByText(double v)
{
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, kDigits - 1);
    double out = 0;
    std::from_chars(buf, r.ptr, out, std::chars_format::scientific);
    return out;
}

// Exact products of a 53-bit significand and a power of 5 (GCC and Clang on 64-bit targets).
__extension__ typedef unsigned __int128 Uint128;

// 10^0 .. 10^22: every one of them is a double exactly.
constexpr double kExactPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr std::uint64_t powerOf5(int k)
{
    std::uint64_t p = 1;
    for (int i = 0; i < k; ++i)
        p *= 5;
    return p;
}

}  // namespace

double roundTo15Digits(double v)
{
    // For 1E-8 <= |v| < 1E15 the 15 digits are M with |v| * 10^k rounded to M, 0 <= k <= 22.
    // |v| = m * 2^q exactly, so |v| * 10^k = m * 5^k * 2^(q + k) is computed exactly in 128
    // bits and M rounds correctly; a tie is left to the text (its rounding rule decides).
    // Then M < 2^53 and 10^k are both exact doubles, and one division rounds M / 10^k to the
    // nearest double, which is what reading the text gives.
    const double mag = std::fabs(v);
    if (!(mag >= 1e-8 && mag < 1e15))
        return roundTo15DigitsByText(v);
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(mag);
    const int biased = static_cast<int>(bits >> 52);
    const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int q = biased - 1075;
    // First guess of the decimal exponent of |v|; the digit count of the result corrects it.
    // floor(e * log10(2)) = (e * 78913) >> 18 for |e| < 1650.
    int k = 14 - ((biased - 1023) * 78913 >> 18);
    constexpr std::uint64_t kLow = 100000000000000;    // 10^14
    constexpr std::uint64_t kHigh = 1000000000000000;  // 10^15
    static constexpr std::uint64_t kPowersOf5[] = {
        powerOf5(0),  powerOf5(1),  powerOf5(2),  powerOf5(3),  powerOf5(4),  powerOf5(5),
        powerOf5(6),  powerOf5(7),  powerOf5(8),  powerOf5(9),  powerOf5(10), powerOf5(11),
        powerOf5(12), powerOf5(13), powerOf5(14), powerOf5(15), powerOf5(16), powerOf5(17),
        powerOf5(18), powerOf5(19), powerOf5(20), powerOf5(21), powerOf5(22)};
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (k < 0 || k > 22)
            break;
        const Uint128 p = static_cast<Uint128>(m) * kPowersOf5[k];
        const int s = q + k;
        Uint128 whole = 0;
        bool up = false;
        if (s >= 0) {
            whole = p << s;  // p < 2^105 and |v| * 10^k < 10^16 here: no overflow
        } else {
            const int shift = -s;
            if (shift >= 127)
                break;
            whole = p >> shift;
            const Uint128 rest = p & ((static_cast<Uint128>(1) << shift) - 1);
            const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
            if (rest == half)
                break;
            up = rest > half;
        }
        if (whole < kLow) {
            ++k;
            continue;
        }
        if (whole >= kHigh) {
            --k;
            continue;
        }
        const double digits = static_cast<double>(static_cast<std::uint64_t>(whole) + (up ? 1 : 0));
        return std::copysign(digits / kExactPowersOf10[k], v);
    }
    return roundTo15DigitsByText(v);
}

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
        r = std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific, kDigits - 1);
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
    msg += "«";
    msg += text;
    msg += "» не читается как число";
    return msg;
}

}  // namespace veltris

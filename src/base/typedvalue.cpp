#include "base/typedvalue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/cp1251.h"
#include "base/csvcells.h"
#include "base/devicetype.h"
#include "base/recordlayout.h"
#include "base/textparse.h"
#include "base/valuetext.h"

namespace veltris {

namespace {

enum Quantity : std::uint8_t {
    kNoQuantity,
    kVoltage,
    kCurrent,
    kPower,
    kFrequency,
    kCapacitance,
    kTime,
    kResistance,
    kLength,
    kLuminous,
    kGain,
    kTemperature,
    kTemperatureCoefficient,
};

// Genitive names, for "единица тока".
const char* quantityName(std::uint8_t q)
{
    switch (q) {
    case kVoltage: return "напряжения";
    case kCurrent: return "тока";
    case kPower: return "мощности";
    case kFrequency: return "частоты";
    case kCapacitance: return "ёмкости";
    case kTime: return "времени";
    case kResistance: return "сопротивления";
    case kLength: return "длины";
    case kLuminous: return "силы света";
    case kGain: return "усиления";
    case kTemperature: return "температуры";
    case kTemperatureCoefficient: return "температурного коэффициента";
    default: return "";
    }
}

enum class Prefixing : std::uint8_t {
    Takes,  // with or without a prefix
    Needs,  // only with a prefix: "м" alone is the prefix milli, not the metre
    Never,  // no prefix: °С, дБ
};

struct BaseUnit {
    std::string_view text;  // UTF-8
    std::uint8_t quantity;
    Prefixing prefixing;
};

// The first unit of each quantity is the one hints name.
constexpr BaseUnit kUnits[] = {
    {"В", kVoltage, Prefixing::Takes},
    {"V", kVoltage, Prefixing::Takes},
    {"А", kCurrent, Prefixing::Takes},
    {"A", kCurrent, Prefixing::Takes},
    {"Вт", kPower, Prefixing::Takes},
    {"W", kPower, Prefixing::Takes},
    {"Гц", kFrequency, Prefixing::Takes},
    {"Hz", kFrequency, Prefixing::Takes},
    {"Ф", kCapacitance, Prefixing::Takes},
    {"F", kCapacitance, Prefixing::Takes},
    {"с", kTime, Prefixing::Takes},
    {"s", kTime, Prefixing::Takes},
    {"Ом", kResistance, Prefixing::Takes},
    {"Ω", kResistance, Prefixing::Takes},  // U+03A9
    {"Ω", kResistance, Prefixing::Takes},  // U+2126
    {"Ohm", kResistance, Prefixing::Takes},
    {"м", kLength, Prefixing::Needs},
    {"m", kLength, Prefixing::Needs},
    {"кд", kLuminous, Prefixing::Takes},
    {"cd", kLuminous, Prefixing::Takes},
    {"дБ", kGain, Prefixing::Never},
    {"dB", kGain, Prefixing::Never},
    {"°С", kTemperature, Prefixing::Never},  // Cyrillic С
    {"°C", kTemperature, Prefixing::Never},
    {"℃", kTemperature, Prefixing::Never},
    {"%/°С", kTemperatureCoefficient, Prefixing::Never},
    {"%/°C", kTemperatureCoefficient, Prefixing::Never},
};

struct Prefix {
    std::string_view text;
    int exponent;
};

// "мк" before "м", so that a lone "мк" is micro.
constexpr Prefix kPrefixes[] = {
    {"мк", -6}, {"п", -12}, {"p", -12}, {"н", -9}, {"n", -9}, {"u", -6}, {"µ", -6}, {"μ", -6}, {"м", -3},
    {"m", -3},  {"к", 3},   {"k", 3},   {"K", 3},  {"М", 6},  {"M", 6},  {"Г", 9},  {"G", 9},
};

const char* prefixText(int exponent)
{
    switch (exponent) {
    case -12: return "п";
    case -9: return "н";
    case -6: return "мк";
    case -3: return "м";
    case 3: return "к";
    case 6: return "М";
    case 9: return "Г";
    default: return "";
    }
}

const BaseUnit* findBaseUnit(std::string_view s)
{
    if (s.empty())
        return nullptr;
    for (const BaseUnit& u : kUnits)
        if (u.text.size() == s.size() && u.text[0] == s[0] && u.text == s)
            return &u;
    return nullptr;
}

// Whether a prefix or a unit may start at p: a letter or a sign beyond ASCII (digits, blanks,
// marks and dashes never do).
bool letterAt(const char* p, const char* end)
{
    if (p == end)
        return false;
    const auto c = static_cast<unsigned char>(*p);
    return c >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

const BaseUnit* firstUnitOf(std::uint8_t quantity)
{
    for (const BaseUnit& u : kUnits)
        if (u.quantity == quantity)
            return &u;
    return nullptr;
}

const Prefix* findPrefix(std::string_view s)
{
    for (const Prefix& p : kPrefixes)
        if (p.text == s)
            return &p;
    return nullptr;
}

// A unit text: a base unit, with a prefix where it takes one. Null when it is none.
struct UnitMatch {
    const BaseUnit* unit = nullptr;
    int exponent = 0;
    bool prefixed = false;
};
UnitMatch matchUnit(std::string_view s)
{
    if (const BaseUnit* u = findBaseUnit(s); u != nullptr && u->prefixing != Prefixing::Needs)
        return {u, 0, false};
    for (const Prefix& p : kPrefixes) {
        if (s.size() <= p.text.size() || s[0] != p.text[0] || s.substr(0, p.text.size()) != p.text)
            continue;
        const BaseUnit* u = findBaseUnit(s.substr(p.text.size()));
        if (u != nullptr && u->prefixing != Prefixing::Never)
            return {u, p.exponent, true};
    }
    return {};
}

// ---- characters ----

bool startsWith(const char* p, const char* end, std::string_view s)
{
    return static_cast<std::size_t>(end - p) >= s.size() && std::memcmp(p, s.data(), s.size()) == 0;
}

// The length of a blank at p: a space, a tab, a no-break or a thin space; 0 for anything else.
std::size_t blankAt(const char* p, const char* end)
{
    if (p == end)
        return 0;
    if (*p == ' ' || *p == '\t')
        return 1;
    if (static_cast<unsigned char>(*p) < 0x80)
        return 0;  // any other ASCII character
    if (startsWith(p, end, "\u00A0"))
        return 2;
    if (startsWith(p, end, "\u202F") || startsWith(p, end, "\u2009"))
        return 3;
    return 0;
}

const char* skipBlanks(const char* p, const char* end)
{
    while (std::size_t n = blankAt(p, end))
        p += n;
    return p;
}

bool isDigit(const char* p, const char* end)
{
    return p < end && *p >= '0' && *p <= '9';
}

// A minus sign: "-" or U+2212. Returns its length, 0 for none.
std::size_t minusAt(const char* p, const char* end)
{
    if (p < end && *p == '-')
        return 1;
    return startsWith(p, end, "\u2212") ? 3 : 0;
}

// A range dash between two numbers: "-", "−", "–", "—", "…" or "...". Returns its length.
std::size_t rangeDashAt(const char* p, const char* end)
{
    if (const std::size_t n = minusAt(p, end))
        return n;
    if (startsWith(p, end, "...") || startsWith(p, end, "\u2013") || startsWith(p, end, "\u2014") ||
        startsWith(p, end, "\u2026"))
        return 3;
    return startsWith(p, end, "..") ? 2 : 0;
}

// The UTF-8 text from p to the end, or to the first of `stops`.
std::string_view restOf(const char* p, const char* end)
{
    return {p, static_cast<std::size_t>(end - p)};
}

std::string quoted(std::string_view s)
{
    std::string out = "«";
    out += s;
    out += "»";
    return out;
}

// ---- numbers ----

constexpr int kMaxDigits = 40;
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A number as typed: its significant digits and the power of ten after the last of them.
struct Number {
    char digits[kMaxDigits];
    int count = 0;     // significant digits kept (leading zeros are not)
    int exponent = 0;  // value = digits * 10^exponent
    bool negative = false;
    bool any = false;  // a digit was read
    int prefix = 0;    // "4к7": the exponent of the prefix in place of the decimal mark
    bool resistorStyle = false;
};

// The double nearest to the number times 10^shift; false when it lies beyond the doubles.
bool numberValue(const Number& n, int shift, double& out)
{
    if (n.count == 0) {
        out = 0;
        return true;
    }
    const int e = n.exponent + shift;
    if (n.count <= 15 && e >= -22 && e <= 22) {
        std::uint64_t m = 0;
        for (int i = 0; i < n.count; ++i)
            m = m * 10 + static_cast<unsigned>(n.digits[i] - '0');
        const double v = static_cast<double>(m);
        out = e < 0 ? v / kExactPowers[-e] : v * kExactPowers[e];
    } else {
        char buf[kMaxDigits + 16];
        std::memcpy(buf, n.digits, static_cast<std::size_t>(n.count));
        char* p = buf + n.count;
        *p++ = 'e';
        p = std::to_chars(p, buf + sizeof buf, e).ptr;
        const auto r = std::from_chars(buf, p, out);
        if (r.ec != std::errc() || !std::isfinite(out) || out == 0)
            return false;
    }
    if (n.negative)
        out = -out;
    return true;
}

class Reader {
public:
    Reader(std::string_view text, const ColumnUnit& unit, bool range)
        : m_begin(text.data()), m_p(text.data()), m_end(text.data() + text.size()), m_unit(unit),
          m_range(range)
    {}

    TypedReading run();

private:
    bool fail(std::string problem)
    {
        m_out.ok = false;
        m_out.problem = std::move(problem);
        return false;
    }
    bool readNumber(Number& n);
    bool readDigits(Number& n, bool fraction);
    bool applySuffix(std::string_view suffix, const Number& first, int& shift);
    bool applyBarePrefix(const Prefix& bare, const Number& first, int& shift);
    bool applyUnit(const UnitMatch& typed, std::string_view suffix, int prefix, int& shift);
    std::string prefixHint(const Number& first, int prefix) const;
    void setExample();

    const char* m_begin;
    const char* m_p;
    const char* m_end;
    const ColumnUnit& m_unit;
    bool m_range;
    TypedReading m_out;
};

bool Reader::readDigits(Number& n, bool fraction)
{
    int group = 0;  // digits since the start or the last group blank
    bool grouped = false;
    for (;;) {
        if (isDigit(m_p, m_end)) {
            const char d = *m_p++;
            n.any = true;
            ++group;
            if (n.count == 0 && d == '0') {
                n.exponent -= fraction;  // a leading zero: only its place counts
                continue;
            }
            if (n.count < kMaxDigits) {
                n.digits[n.count++] = d;
                n.exponent -= fraction;
            } else if (!fraction) {
                ++n.exponent;  // digits past what a double holds: their place still counts
            }
            continue;
        }
        // "10 000": a blank between groups of three digits, in the whole part only.
        const std::size_t blank = blankAt(m_p, m_end);
        if (blank == 0 || fraction || group == 0 || !isDigit(m_p + blank, m_end))
            break;
        const char* q = m_p + blank;
        int next = 0;
        while (isDigit(q + next, m_end))
            ++next;
        if (next != 3 || (grouped ? group != 3 : group > 3))
            return fail("пробел внутри числа " + quoted(restOf(m_begin, q + next)) +
                        " (между цифрами он отделяет только тройки: 10 000)");
        grouped = true;
        group = 0;
        m_p = q;
    }
    if (grouped && group != 3)
        return fail("пробел внутри числа " + quoted(restOf(m_begin, m_p)));
    return true;
}

bool Reader::readNumber(Number& n)
{
    const char* const start = m_p;
    if (const std::size_t minus = minusAt(m_p, m_end)) {
        n.negative = true;
        m_p += minus;
    } else if (m_p < m_end && *m_p == '+') {
        ++m_p;
    }
    if (!readDigits(n, false))
        return false;
    const bool wholeDigits = n.any;
    // A point before another point starts a range dash ("50..350"), not a fraction.
    const auto decimalMarkAt = [this](const char* p) {
        return p < m_end && (*p == ',' || *p == '.') && !startsWith(p, m_end, "..");
    };
    if (decimalMarkAt(m_p)) {
        const char mark = *m_p++;
        if (!readDigits(n, true))
            return false;
        if (!n.any)
            return fail("нет цифр у десятичного знака " + quoted(std::string_view(&mark, 1)));
        if (decimalMarkAt(m_p) && (isDigit(m_p + 1, m_end) || m_p + 1 == m_end))
            return fail("два десятичных знака в " + quoted(trimBlanks(restOf(m_begin, m_end))) +
                        ": пишите одну запятую или точку, без разделителя тысяч");
    } else if (wholeDigits && letterAt(m_p, m_end)) {
        // "4к7": a prefix between the digits stands for the decimal mark.
        for (const Prefix& p : kPrefixes) {
            if (!startsWith(m_p, m_end, p.text) || !isDigit(m_p + p.text.size(), m_end))
                continue;
            m_p += p.text.size();
            if (!readDigits(n, true))
                return false;
            n.prefix = p.exponent;
            n.resistorStyle = true;
            break;
        }
    }
    if (!n.any) {
        m_p = start;
        return false;
    }
    // The exponent: "E", "e" (or a Cyrillic "Е"), a sign and at least one digit.
    const char* q = m_p;
    std::size_t e = 0;
    if (q < m_end && (*q == 'E' || *q == 'e'))
        e = 1;
    else if (startsWith(q, m_end, "Е") || startsWith(q, m_end, "е"))
        e = 2;
    if (e != 0 && !n.resistorStyle) {
        q += e;
        bool negative = false;
        if (const std::size_t minus = minusAt(q, m_end)) {
            negative = true;
            q += minus;
        } else if (q < m_end && *q == '+') {
            ++q;
        }
        if (isDigit(q, m_end)) {
            int value = 0;
            while (isDigit(q, m_end)) {
                if (value < 100000)
                    value = value * 10 + (*q - '0');
                ++q;
            }
            n.exponent += negative ? -value : value;
            m_p = q;
        }
    }
    return true;
}

std::string Reader::prefixHint(const Number& first, int prefix) const
{
    // The amount in the base unit, written with the prefix that puts it between 1 and 1000.
    const BaseUnit* base = firstUnitOf(m_unit.quantity);
    double inColumn = 0;
    double inBase = 0;
    if (base == nullptr || !numberValue(first, prefix, inColumn) ||
        !numberValue(first, prefix + m_unit.exponent, inBase))
        return "число и единицу, например 1,5 " + m_unit.text;
    int engineering = 0;
    if (inBase != 0) {
        const int power = static_cast<int>(std::floor(std::log10(std::fabs(inBase))));
        engineering = std::clamp((power >= 0 ? power / 3 : (power - 2) / 3) * 3, -12, 9);
    }
    double shown = 0;
    if (!numberValue(first, prefix + m_unit.exponent - engineering, shown))
        shown = inBase;
    std::string hint = numberText(shown) + " " + prefixText(engineering) + std::string(base->text);
    hint += " или ";
    hint += numberText(inColumn) + " " + m_unit.text;
    return hint;
}

bool Reader::applyBarePrefix(const Prefix& bare, const Number& first, int& shift)
{
    using Kind = ColumnUnit::Kind;
    // A prefix without a unit: the column's unit is meant.
    switch (m_unit.kind) {
    case Kind::None:
    case Kind::Plain: shift += bare.exponent; return true;
    case Kind::Prefixed:
        // Name the same amount in the base unit and in the column's unit.
        return fail("приставка " + quoted(bare.text) + " без единицы неоднозначна в столбце в " +
                    m_unit.text + "; укажите единицу: " + prefixHint(first, bare.exponent));
    case Kind::Fixed:
    case Kind::Other: break;
    }
    return fail("приставка " + quoted(bare.text) + " не ставится к " + quoted(m_unit.text));
}

bool Reader::applySuffix(std::string_view suffix, const Number& first, int& shift)
{
    using Kind = ColumnUnit::Kind;
    if (first.resistorStyle) {
        const Prefix& inside = *std::find_if(std::begin(kPrefixes), std::end(kPrefixes),
                                             [&](const Prefix& p) { return p.exponent == first.prefix; });
        if (suffix.empty())
            return applyBarePrefix(inside, first, shift);
        const UnitMatch typed = matchUnit(suffix);
        if (typed.unit == nullptr || typed.prefixed || typed.unit->prefixing == Prefixing::Never)
            return fail(
                "после числа с приставкой вместо запятой (4к7) пишите единицу без приставки, "
                "а не " +
                quoted(suffix));
        return applyUnit(typed, suffix, first.prefix, shift);
    }
    if (suffix.empty())
        return true;
    if (m_unit.kind == Kind::Other && suffix == m_unit.text)
        return true;  // the column's own unit, whatever it is
    const UnitMatch typed = matchUnit(suffix);
    if (typed.unit != nullptr)
        return applyUnit(typed, suffix, typed.exponent, shift);
    if (const Prefix* bare = findPrefix(suffix))
        return applyBarePrefix(*bare, first, shift);
    return fail("не понято " + quoted(suffix));
}

bool Reader::applyUnit(const UnitMatch& typed, std::string_view suffix, int prefix, int& shift)
{
    using Kind = ColumnUnit::Kind;
    if (m_unit.kind == Kind::None)
        return fail("у столбца нет единицы, а написано " + quoted(suffix) + ": напишите одно число");
    if (m_unit.kind == Kind::Other)
        return fail("единица " + quoted(suffix) + " не та: столбец в " + m_unit.text);
    if (typed.unit->quantity != m_unit.quantity)
        return fail(quoted(suffix) + " — единица " + quantityName(typed.unit->quantity) + ", а столбец в " +
                    m_unit.text + " (единица " + quantityName(m_unit.quantity) + ")");
    shift += prefix - m_unit.exponent;
    return true;
}

void Reader::setExample()
{
    m_out.example = m_range ? "50-350" : "1,5";
    if (!m_unit.text.empty()) {
        m_out.example += ' ';
        m_out.example += m_unit.text;
    }
}

TypedReading Reader::run()
{
    m_p = skipBlanks(m_p, m_end);
    if (m_p == m_end)
        return m_out;  // nothing typed: the base keeps 0
    TypedValue& v = m_out.value;
    v.empty = false;

    // The opening marks: "<", ">", "≤", "≥" and brackets, in any order, blanks between.
    char closers[8];
    int depth = 0;
    for (;; m_p = skipBlanks(m_p, m_end)) {
        if (m_p == m_end)
            break;
        const char c = *m_p;
        if (c == '<' || c == '>') {
            v.flags |= c == '<' ? kFlagLess : kFlagGreater;
            ++m_p;
        } else if (startsWith(m_p, m_end, "≤") || startsWith(m_p, m_end, "≥")) {
            v.flags |= startsWith(m_p, m_end, "≤") ? kFlagLess : kFlagGreater;
            m_p += 3;
        } else if (c == '(' || c == '[' || c == '{') {
            if (depth == static_cast<int>(sizeof closers)) {
                fail("слишком много скобок");
                break;
            }
            closers[depth++] = c == '(' ? ')' : c == '[' ? ']' : '}';
            v.flags |= c == '(' ? kFlagParen : c == '[' ? kFlagBracket : kFlagBrace;
            ++m_p;
        } else {
            break;
        }
    }

    Number first;
    Number second;
    bool range = false;
    if (m_out.ok && !readNumber(first) && m_out.ok) {
        const std::string_view rest = trimBlanks(restOf(m_p, m_end));
        if (rest.empty() || rest == "-" || rest == "+" || rest == "\u2212")
            fail("нет числа");
        else
            fail("не понято " + quoted(restOf(m_p, m_end)) + ": здесь нужно число");
    }
    if (m_out.ok) {
        // A second number after a dash: a range. The first end may carry the prefix the second
        // one's unit has ("1к-2к", "1к-2 кОм"); it must be the same.
        const char* const afterNumber = m_p;
        std::string_view firstPrefix;
        for (const Prefix& p : kPrefixes) {
            if (!letterAt(m_p, m_end))
                break;
            if (!startsWith(m_p, m_end, p.text))
                continue;
            const char* afterPrefix = skipBlanks(m_p + p.text.size(), m_end);
            if (rangeDashAt(afterPrefix, m_end) != 0) {
                firstPrefix = p.text;
                m_p += p.text.size();
            }
            break;
        }
        const char* q = skipBlanks(m_p, m_end);
        if (const std::size_t dash = rangeDashAt(q, m_end)) {
            m_p = skipBlanks(q + dash, m_end);
            if (readNumber(second)) {
                range = true;
                if (!m_range)
                    fail("диапазон " + quoted(trimBlanks(restOf(m_begin, m_p))) +
                         " в этом столбце не хранится: напишите одно число");
                else if (second.resistorStyle != first.resistorStyle || second.prefix != first.prefix)
                    fail("у концов диапазона разные приставки");
            } else if (m_out.ok) {
                m_p = afterNumber;
            }
        } else {
            m_p = afterNumber;
        }
        if (m_out.ok && range && !firstPrefix.empty()) {
            // The second end's prefix: where the suffix after it starts.
            const std::string_view rest = trimBlanks(restOf(m_p, m_end));
            if (rest.substr(0, firstPrefix.size()) != firstPrefix)
                fail("у концов диапазона разные приставки: пишите одну после второго числа (1-2 к)");
        }
    }

    int shift = 0;
    if (m_out.ok) {
        // Closing brackets may stand before the unit ("(1,5) А") or after it ("(1,5 А)").
        const auto close = [&] {
            for (m_p = skipBlanks(m_p, m_end); depth > 0 && m_p < m_end && *m_p == closers[depth - 1];
                 m_p = skipBlanks(m_p, m_end)) {
                --depth;
                ++m_p;
            }
        };
        close();
        const char* suffixEnd = m_p;
        while (suffixEnd < m_end && *suffixEnd != ')' && *suffixEnd != ']' && *suffixEnd != '}')
            ++suffixEnd;
        const std::string_view suffix = trimBlanks(restOf(m_p, suffixEnd));
        m_p = suffixEnd;
        if (applySuffix(suffix, first, shift)) {
            close();
            if (m_p != m_end)
                fail("не понято " + quoted(restOf(m_p, m_end)));
            else if (depth > 0)
                fail("скобка не закрыта: нет " + quoted(std::string_view(&closers[depth - 1], 1)));
        }
    }

    if (m_out.ok) {
        v.converted = shift != 0 || first.resistorStyle;
        double a = 0;
        double b = 0;
        if (!numberValue(first, shift, a) || (range && !numberValue(second, shift, b)))
            fail("число вне пределов, которые хранит база");
        else if (!range)
            b = m_range && a < 0 ? -a : a;
        v.a = a == 0 ? 0.0 : a;  // no negative zero
        v.b = b == 0 ? 0.0 : b;
    }
    if (!m_out.ok) {
        m_out.value = TypedValue{};
        setExample();
    }
    return std::move(m_out);
}

}  // namespace

ColumnUnit columnUnitOfTitle(std::string_view titleCp1251)
{
    const auto comma = titleCp1251.rfind(',');
    if (comma == std::string_view::npos)
        return {};
    return columnUnitOfUtf8Title(cp1251ToUtf8(titleCp1251.substr(comma)));
}

ColumnUnit columnUnitOfUtf8Title(std::string_view title)
{
    ColumnUnit unit;
    const auto comma = title.rfind(',');
    if (comma == std::string_view::npos)
        return unit;
    std::string text(title.substr(comma + 1));
    for (char& c : text)
        c = c == '|' ? ' ' : c;
    unit.text = std::string(trimBlanks(text));
    if (unit.text.empty())
        return unit;
    const UnitMatch m = matchUnit(unit.text);
    if (m.unit == nullptr) {
        unit.kind = ColumnUnit::Kind::Other;
        return unit;
    }
    unit.quantity = m.unit->quantity;
    unit.exponent = m.exponent;
    unit.kind = m.unit->prefixing == Prefixing::Never ? ColumnUnit::Kind::Fixed
                : m.prefixed                          ? ColumnUnit::Kind::Prefixed
                                                      : ColumnUnit::Kind::Plain;
    return unit;
}

TypedReading readTypedValue(std::string_view text, const ColumnUnit& unit, bool rangeColumn)
{
    return Reader(text, unit, rangeColumn).run();
}

std::string typedValueText(const TypedValue& value, bool rangeColumn)
{
    if (value.empty)
        return {};
    return rangeColumn ? rangeValueText(value.flags, value.a, value.b)
                       : flaggedValueText(value.flags, value.a);
}

std::string typedRefusalMessage(std::string_view title, const TypedReading& reading)
{
    std::string t(title);
    for (char& c : t)
        c = c == '|' ? ' ' : c;
    std::string out = "Столбец «" + t + "»: " + reading.problem;
    if (!reading.example.empty())
        out += ". Пример: " + reading.example;
    return out;
}

TypedColumn typedColumnKind(int code, int columnCount, int col)
{
    if (col == 0)
        return TypedColumn::Name;
    if (col == columnCount - 1)
        return TypedColumn::Drawing;
    const DeviceType* type = findDeviceType(code);
    if (type != nullptr && col == type->rangeColumn)
        return TypedColumn::Range;
    if (type != nullptr && col == type->colourColumn)
        return TypedColumn::Colour;
    return TypedColumn::Value;
}

TypedCell typedCellText(std::string_view typed, std::string_view titleCp1251, TypedColumn kind)
{
    TypedCell cell;
    const auto refuse = [&](std::string problem, std::string example) {
        TypedReading r;
        r.ok = false;
        r.problem = std::move(problem);
        r.example = std::move(example);
        cell.ok = false;
        cell.text.clear();
        cell.message = typedRefusalMessage(cp1251ToUtf8(titleCp1251), r);
        return cell;
    };
    switch (kind) {
    case TypedColumn::Name:
    case TypedColumn::Colour: {
        bool lossy = false;
        cell.text = utf8ToCp1251(typed, &lossy);
        if (lossy)
            return refuse("есть знаки, которых нет в кодировке Windows-1251",
                          kind == TypedColumn::Name ? "КТ315Б" : "R/G");
        if (kind == TypedColumn::Name && checkNameCell(cell.text) != CellFault::None)
            return refuse("название длиннее " + std::to_string(record::kNameMax) + " знаков", "КТ315Б");
        if (kind == TypedColumn::Colour && checkColourCell(cell.text) != CellFault::None)
            return refuse(cellFaultText(CellFault::NotColour), "R/G");
        return cell;
    }
    case TypedColumn::Drawing: {
        const std::string_view t = trimBlanks(typed);
        std::int16_t n = 0;
        if (readDrawingCell(t, n) != CellFault::None)
            return refuse("не понято " + quoted(t) + ": здесь номер рисунка, целое число от -32768 до 32767",
                          "12");
        cell.text = t.empty() ? std::string() : std::to_string(n);
        cell.changed = cell.text != t;
        return cell;
    }
    case TypedColumn::Value:
    case TypedColumn::Range: break;
    }
    const bool range = kind == TypedColumn::Range;
    const TypedReading r = readTypedValue(typed, columnUnitOfTitle(titleCp1251), range);
    if (!r.ok) {
        cell.ok = false;
        cell.message = typedRefusalMessage(cp1251ToUtf8(titleCp1251), r);
        return cell;
    }
    cell.text = typedValueText(r.value, range);
    cell.changed = cell.text != trimBlanks(typed);
    return cell;
}

}  // namespace veltris

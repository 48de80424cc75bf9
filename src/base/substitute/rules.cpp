#include "base/substitute/rules.h"

#include <optional>
#include <system_error>

#include "base/devicetype.h"
#include "base/textparse.h"

namespace veltris {

namespace {

std::string lowerAscii(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        out += c;
    }
    return out;
}

std::optional<int> percentOf(std::string_view s, int max)
{
    const std::optional<int> v = parseInteger(trimBlanks(s));
    if (!v || *v < 0 || *v > max)
        return std::nullopt;
    return v;
}

// "name" or "name:..." with blanks allowed around the colon: the part after the colon, or
// nothing when `t` is not of that kind. `t` is already lower case and trimmed.
std::optional<std::string_view> argumentsOf(std::string_view t, std::string_view name, bool& bare)
{
    bare = false;
    if (!t.starts_with(name))
        return std::nullopt;
    std::string_view rest = trimBlanks(t.substr(name.size()));
    if (rest.empty()) {
        bare = true;
        return rest;
    }
    if (rest.front() != ':')
        return std::nullopt;
    return rest.substr(1);
}

}  // namespace

bool ruleTakesMinus(RuleKind kind)
{
    return kind == RuleKind::Band || kind == RuleKind::AtLeast;
}

bool ruleTakesPlus(RuleKind kind)
{
    return kind == RuleKind::Band || kind == RuleKind::AtMost;
}

const char* ruleCaption(RuleKind kind)
{
    switch (kind) {
    case RuleKind::Off: return "не учитывать";
    case RuleKind::AtLeast: return "не меньше";
    case RuleKind::AtMost: return "не больше";
    case RuleKind::Equal: return "равно";
    case RuleKind::Band: return "в пределах";
    case RuleKind::Gate: return "обязательно равно";
    }
    return "";
}

std::string ruleLabel(const SubstituteRule& rule)
{
    std::string s = ruleCaption(rule.kind);
    if (rule.kind == RuleKind::Band)
        s += " -" + std::to_string(rule.minusPercent) + "..+" + std::to_string(rule.plusPercent) + " %";
    else if (rule.kind == RuleKind::AtLeast && rule.minusPercent > 0)
        s += " -" + std::to_string(rule.minusPercent) + " %";
    else if (rule.kind == RuleKind::AtMost && rule.plusPercent > 0)
        s += " +" + std::to_string(rule.plusPercent) + " %";
    return s;
}

Result<SubstituteRule> parseRuleText(std::string_view text)
{
    const std::string lowered = lowerAscii(trimBlanks(text));
    const std::string_view t = lowered;
    const auto bad = [&]() -> Error {
        return Error{ErrorKind::Generic,
                     "правило «" + std::string(text) +
                         "» не распознано; допустимы off, ge, ge:P, le, le:Q, eq, gate, band:P:Q "
                         "(P от 0 до 100, Q от 0 до 1000 процентов)"};
    };
    if (t == "off")
        return SubstituteRule{RuleKind::Off};
    if (t == "eq")
        return SubstituteRule{RuleKind::Equal};
    if (t == "gate")
        return SubstituteRule{RuleKind::Gate};
    bool bare = false;
    if (const auto args = argumentsOf(t, "ge", bare)) {
        if (bare)
            return SubstituteRule{RuleKind::AtLeast};
        const auto p = percentOf(*args, kMaxBandMinus);
        if (!p)
            return bad();
        return SubstituteRule{RuleKind::AtLeast, *p, 0};
    }
    if (const auto args = argumentsOf(t, "le", bare)) {
        if (bare)
            return SubstituteRule{RuleKind::AtMost};
        const auto q = percentOf(*args, kMaxBandPlus);
        if (!q)
            return bad();
        return SubstituteRule{RuleKind::AtMost, 0, *q};
    }
    if (const auto args = argumentsOf(t, "band", bare); args && !bare) {
        const auto colon = args->find(':');
        if (colon == std::string_view::npos)
            return bad();
        const auto p = percentOf(args->substr(0, colon), kMaxBandMinus);
        const auto q = percentOf(args->substr(colon + 1), kMaxBandPlus);
        if (!p || !q)
            return bad();
        return SubstituteRule{RuleKind::Band, *p, *q};
    }
    return bad();
}

std::string ruleText(const SubstituteRule& rule)
{
    switch (rule.kind) {
    case RuleKind::Off: return "off";
    case RuleKind::AtLeast: return rule.minusPercent > 0 ? "ge:" + std::to_string(rule.minusPercent) : "ge";
    case RuleKind::AtMost: return rule.plusPercent > 0 ? "le:" + std::to_string(rule.plusPercent) : "le";
    case RuleKind::Equal: return "eq";
    case RuleKind::Gate: return "gate";
    case RuleKind::Band:
        return "band:" + std::to_string(rule.minusPercent) + ":" + std::to_string(rule.plusPercent);
    }
    return "off";
}

bool isTextParameter(int deviceType, int column)
{
    // The LED colour code: the store keeps it as letters, not as a number.
    const DeviceType* type = findDeviceType(deviceType);
    return column > 0 && type != nullptr && type->colourColumn == column;
}

std::vector<RuleKind> ruleKindsFor(int deviceType, int column)
{
    if (isTextParameter(deviceType, column))
        return {RuleKind::Off, RuleKind::Equal, RuleKind::Gate};
    return {RuleKind::Off,   RuleKind::AtLeast, RuleKind::AtMost,
            RuleKind::Equal, RuleKind::Band,    RuleKind::Gate};
}

int packageColumn(int deviceType)
{
    return parameterColumnCount(deviceType);
}

}  // namespace veltris

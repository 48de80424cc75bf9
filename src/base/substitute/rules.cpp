#include "base/substitute/rules.h"

#include <optional>
#include <system_error>

#include "base/devicetype.h"
#include "base/textparse.h"
#include "base/valuetext.h"

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

namespace {

Result<SubstituteRule> parseKindText(std::string_view text, std::string_view whole)
{
    const std::string lowered = lowerAscii(trimBlanks(text));
    const std::string_view t = lowered;
    const auto bad = [&]() -> Error {
        return Error{ErrorKind::Generic,
                     "правило «" + std::string(whole) +
                         "» не распознано; допустимы off, ge, ge:P, le, le:Q, eq, gate, band:P:Q "
                         "(P от 0 до 100, Q от 0 до 1000 процентов), а после пробела — known, at:N, "
                         "window, below:X, class:darlington, class:marks"};
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

// Whether a blank-separated word starts an option rather than continuing the rule's own text.
bool isOptionWord(std::string_view word)
{
    for (const std::string_view name : {"known", "at", "window", "below", "class"}) {
        if (word.size() >= name.size() && lowerAscii(word.substr(0, name.size())) == name &&
            (word.size() == name.size() || word[name.size()] == ':'))
            return true;
    }
    return false;
}

bool applyOption(std::string_view word, RuleOptions& o)
{
    const std::string w = lowerAscii(word);
    if (w == "known") {
        o.required = true;
        return true;
    }
    if (w == "window") {
        o.window = true;
        return true;
    }
    if (w.starts_with("at:")) {
        const std::optional<int> c = parseInteger(std::string_view(w).substr(3));
        if (!c || *c < 1 || *c > 99)
            return false;
        o.condition = *c;
        return true;
    }
    if (w.starts_with("below:")) {
        const std::string number(word.substr(6));
        if (numericFilter(number) != number)
            return false;
        const auto v = parseNumber(number);
        if (!v || !(*v > 0))
            return false;
        o.onlyBelow = *v;
        return true;
    }
    if (w == "class:darlington") {
        o.classBy = DeviceClassBy::Darlington;
        return true;
    }
    if (w == "class:marks") {
        o.classBy = DeviceClassBy::Marks;
        return true;
    }
    return false;
}

}  // namespace

Result<SubstituteRule> parseRuleText(std::string_view text)
{
    // The rule's own text runs up to the first word that is an option.
    std::vector<std::string_view> words;
    for (std::size_t at = 0; at < text.size();) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t')
            ++end;
        if (end > at)
            words.push_back(text.substr(at, end - at));
        at = end;
    }
    std::size_t first = 0;
    while (first < words.size() && !isOptionWord(words[first]))
        ++first;
    const std::string_view kindPart =
        first == 0 || words.empty()
            ? std::string_view{}
            : std::string_view(words[0].data(),
                               static_cast<std::size_t>(words[first - 1].data() + words[first - 1].size() -
                                                        words[0].data()));
    auto rule = parseKindText(kindPart, text);
    if (!rule)
        return rule;
    for (std::size_t k = first; k < words.size(); ++k) {
        if (!applyOption(words[k], rule->options))
            return Error{ErrorKind::Generic, "правило «" + std::string(text) + "»: «" +
                                                 std::string(words[k]) +
                                                 "» не распознано; допустимы known, at:N (столбец), window, "
                                                 "below:X (число), class:darlington, class:marks"};
    }
    return rule;
}

std::string ruleText(const SubstituteRule& rule)
{
    std::string s = ruleKindText(rule);
    if (rule.kind == RuleKind::Off)
        return s;  // a rule that asks nothing has nothing to refine
    const RuleOptions& o = rule.options;
    if (o.required)
        s += " known";
    if (o.condition > 0)
        s += " at:" + std::to_string(o.condition);
    if (o.window)
        s += " window";
    if (o.onlyBelow > 0)
        s += " below:" + numberText(o.onlyBelow);
    if (o.classBy == DeviceClassBy::Darlington)
        s += " class:darlington";
    else if (o.classBy == DeviceClassBy::Marks)
        s += " class:marks";
    return s;
}

std::string ruleOptionsLabel(const RuleOptions& o)
{
    std::string s;
    const auto add = [&](const std::string& part) {
        s += s.empty() ? "" : ", ";
        s += part;
    };
    if (o.required)
        add("обязательно известно");
    if (o.condition > 0)
        add("при тех же условиях (столбец " + std::to_string(o.condition) + ")");
    if (o.window)
        add("окно Uст ном, min, max");
    if (o.onlyBelow > 0)
        add("только для образца не более " + numberText(o.onlyBelow));
    if (o.classBy == DeviceClassBy::Darlington)
        add("составной не заменяет одиночный");
    else if (o.classBy == DeviceClassBy::Marks)
        add("класс по скобкам");
    return s;
}

std::string ruleKindText(const SubstituteRule& rule)
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

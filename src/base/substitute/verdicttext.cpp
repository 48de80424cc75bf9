#include "base/substitute/verdicttext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/cp1251.h"
#include "base/finder.h"

namespace veltris {

const char* verdictCaption(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass: return "подходит";
    case Verdict::Fail: return "не подходит";
    case Verdict::Unknown: return "неизвестно";
    case Verdict::NotGuaranteed: return "не гарантировано";
    }
    return "";
}

const char* verdictKeyword(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass: return "pass";
    case Verdict::Fail: return "fail";
    case Verdict::Unknown: return "unknown";
    case Verdict::NotGuaranteed: return "not_guaranteed";
    }
    return "";
}

const char* matchClassCaption(MatchClass matchClass)
{
    switch (matchClass) {
    case MatchClass::Direct: return "прямая замена";
    case MatchClass::Full: return "замена";
    case MatchClass::WithUnknown: return "замена, не известно";
    case MatchClass::Near: return "близкая";
    }
    return "";
}

const char* matchClassKeyword(MatchClass matchClass)
{
    switch (matchClass) {
    case MatchClass::Direct: return "direct";
    case MatchClass::Full: return "full";
    case MatchClass::WithUnknown: return "unknown";
    case MatchClass::Near: return "near";
    }
    return "";
}

std::string parameterShortName(std::string_view title, bool package)
{
    if (package)
        return "корпус";
    const auto comma = title.rfind(',');
    if (comma != std::string_view::npos)
        title = title.substr(0, comma);
    std::string name;
    for (char c : title) {
        if (c == '|' || c == '\t')
            c = ' ';
        if (c == ' ' && (name.empty() || name.back() == ' '))
            continue;
        name += c;
    }
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    for (const std::string_view tail : {std::string_view(" max"), std::string_view(" в")}) {
        const std::string t = utf8ToCp1251(tail);
        if (name.size() > t.size() && name.ends_with(t))
            name.resize(name.size() - t.size());
    }
    return cp1251ToUtf8(name);
}

std::string percentText(double percent)
{
    const char* sign = percent < 0 ? "−" : "+";
    const double size = std::fabs(percent);
    char digits[32];
    if (size < 0.95) {
        std::snprintf(digits, sizeof digits, "%.1f", size);
        for (char* p = digits; *p != '\0'; ++p)
            if (*p == '.')
                *p = ',';
    } else {
        std::snprintf(digits, sizeof digits, "%.0f", std::min(size, 1e9));
    }
    return std::string(sign) + digits + " %";
}

std::string matchVerdictText(const FinderQuery& query, const FinderMatch& match,
                             std::span<const std::string> titles)
{
    const MatchClass cls = matchClass(match);
    if (cls == MatchClass::Direct || cls == MatchClass::Full)
        return matchClassCaption(cls);
    const auto nameOf = [&](const ActiveRule& a) {
        const auto c = static_cast<std::size_t>(a.column);
        if (c >= titles.size() || titles[c].empty())
            return "столбец " + std::to_string(a.column);
        return parameterShortName(titles[c], a.column == packageColumn(query.deviceType));
    };
    // Why a figure cannot tell: no value, or one of another kind or condition.
    const auto unknownWord = [&](std::size_t j) {
        return (match.otherMask >> j & 1u) ? "не сравнимо" : "не известно";
    };
    std::string reasons;
    const auto add = [&](std::string& list, const std::string& reason) {
        list += list.empty() ? "" : ", ";
        list += reason;
    };
    std::size_t failing = 0;
    for (std::size_t j = 0; j < query.rules.size(); ++j) {
        const Verdict v = match.verdict(j);
        if (v != Verdict::Fail && v != Verdict::NotGuaranteed)
            continue;
        const float percent = failing < kShownMisses ? match.missPercent[failing] : NAN;
        ++failing;
        const std::string name = nameOf(query.rules[j]);
        if (v == Verdict::NotGuaranteed)
            add(reasons, name + " не гарантировано");
        else if (match.unknownMask >> j & 1u)
            add(reasons, name + " " + unknownWord(j));
        else if (std::isfinite(percent))
            add(reasons, name + " " + percentText(percent));
        else
            add(reasons, name);
    }
    // The unknown ones that do not fail: named, those not comparable apart.
    std::string unknown;
    std::string other;
    bool classUnknown = false;
    for (std::size_t j = 0; j < query.rules.size(); ++j) {
        if (match.verdict(j) != Verdict::Unknown)
            continue;
        if (query.unknownFails) {
            add(reasons, nameOf(query.rules[j]) + " " + unknownWord(j));
            continue;
        }
        classUnknown |= query.rules[j].rule.options.classBy != DeviceClassBy::None;
        add((match.otherMask >> j & 1u) ? other : unknown, nameOf(query.rules[j]));
    }
    std::string text = cls == MatchClass::Near ? std::string(matchClassCaption(cls)) + ": " + reasons
                       : classUnknown          ? std::string("замена, класс не известен")
                                               : std::string("замена");
    const char* joint = cls == MatchClass::Near ? "; " : ", ";
    if (!unknown.empty())
        text += joint + std::string("не известно: ") + unknown;
    if (!other.empty())
        text += (unknown.empty() ? joint : "; ") + std::string("не сравнимо: ") + other;
    return text;
}

}  // namespace veltris

#include "base/substitute/ruledefaults.h"

#include <system_error>

#include "base/cp1251.h"
#include "base/devicetype.h"
#include "base/fileio.h"
#include "base/ini.h"

namespace veltris {

namespace fs = std::filesystem;

namespace {

std::string columnKey(int c)
{
    return "Col_" + std::to_string(c);
}

std::string typeSection(int code)
{
    return "Type_" + std::to_string(code);
}

// A rule as a column can hold it: a text column knows only off, equal and gate.
SubstituteRule fitToColumn(SubstituteRule rule, int deviceType, int column)
{
    if (isTextParameter(deviceType, column) && rule.kind != RuleKind::Off && rule.kind != RuleKind::Gate)
        rule = SubstituteRule{RuleKind::Equal};
    return rule;
}

RuleSet rulesFromSection(const IniFile& ini, std::string_view section, int deviceType, RuleSet rules)
{
    for (int c = 1; c <= static_cast<int>(rules.size()); ++c) {
        const auto text = ini.value(section, columnKey(c));
        if (!text)
            continue;
        auto rule = parseRuleText(*text);
        if (!rule)
            continue;  // a damaged key keeps the rule it would replace
        rules[static_cast<std::size_t>(c - 1)] = fitToColumn(*rule, deviceType, c);
    }
    return rules;
}

// What is wrong with a defaults file, or an empty text when nothing is.
std::string damageOf(const IniFile& ini)
{
    for (const DeviceType& type : supportedDeviceTypes()) {
        const std::string section = typeSection(type.code);
        bool any = false;
        for (int c = 1; c <= type.columnCount; ++c) {
            const auto text = ini.value(section, columnKey(c));
            if (!text)
                continue;
            any = true;
            if (!parseRuleText(*text))
                return "в разделе [" + section + "] ключ " + columnKey(c) + " = «" + cp1251ToUtf8(*text) +
                       "» не читается как правило";
        }
        if (!any)
            return "нет раздела [" + section + "] (" + type.caption + ")";
    }
    return {};
}

}  // namespace

Result<SubstituteDefaults> SubstituteDefaults::load(const fs::path& dir)
{
    const fs::path path = dir / kSubstituteDefaultsFile;
    std::error_code ec;
    if (!fs::exists(path, ec))
        return Error{ErrorKind::OpenFailed, "Не найден файл правил замены «" + path.string() + "»"};
    auto bytes = readFileBytes(path);
    if (!bytes)
        return bytes.error();
    const std::string damage = damageOf(IniFile::fromBytes(*bytes));
    if (!damage.empty())
        return Error{ErrorKind::Generic, "Файл правил замены «" + path.string() + "» повреждён: " + damage};
    return fromBytes(*bytes);
}

SubstituteDefaults SubstituteDefaults::fromBytes(std::string_view iniBytes)
{
    const IniFile ini = IniFile::fromBytes(iniBytes);
    SubstituteDefaults d;
    d.m_rules.resize(8);
    for (const DeviceType& type : supportedDeviceTypes()) {
        d.m_rules[static_cast<std::size_t>(type.code)] = rulesFromSection(
            ini, typeSection(type.code), type.code, RuleSet(static_cast<std::size_t>(type.columnCount)));
    }
    return d;
}

RuleSet SubstituteDefaults::rules(int deviceType) const
{
    if (findDeviceType(deviceType) == nullptr || m_rules.empty())
        return RuleSet(static_cast<std::size_t>(parameterColumnCount(deviceType)));
    return m_rules[static_cast<std::size_t>(deviceType)];
}

std::string ruleSection(int deviceType)
{
    return "Substitute_" + std::to_string(deviceType);
}

RuleSet readUserRules(const IniFile& settings, int deviceType, const RuleSet& defaults)
{
    return rulesFromSection(settings, ruleSection(deviceType), deviceType, defaults);
}

void writeUserRules(IniFile& settings, int deviceType, const RuleSet& rules, const RuleSet& defaults)
{
    const std::string section = ruleSection(deviceType);
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const std::string key = columnKey(static_cast<int>(i) + 1);
        const bool differs = i >= defaults.size() || !(rules[i] == defaults[i]);
        if (differs || settings.hasKey(section, key))
            settings.writeString(section, key, ruleText(rules[i]));
    }
}

}  // namespace veltris

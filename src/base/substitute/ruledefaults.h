#pragma once
// The rules a search starts from: the shipped defaults of each device type, and the user's own
// changes kept in the settings file.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/substitute/rules.h"

namespace veltris {

class IniFile;

// The file of default rules beside the executables. Windows-1251 INI like the catalogue files:
// section "Type_<code>", keys "Col_<c>" holding rule texts.
inline constexpr std::string_view kSubstituteDefaultsFile = "substitute.ini";

class SubstituteDefaults {
public:
    // Error OpenFailed when the file is missing or cannot be read; Generic when it is damaged:
    // a section of a supported type missing, or a key whose rule text does not read. Either way
    // the message names the file, so that no one searches with every rule silently off.
    static Result<SubstituteDefaults> load(const std::filesystem::path& dir);
    // Lenient: a missing key or section gives «не учитывать», a damaged key too.
    static SubstituteDefaults fromBytes(std::string_view iniBytes);

    // The default rule of every column 1..C of a type. Empty for a type without a catalogue.
    RuleSet rules(int deviceType) const;

private:
    std::vector<RuleSet> m_rules;  // by type code, 0..7
};

// The user's rules live in the settings file, section "Substitute_<code>", keys "Col_<c>".
std::string ruleSection(int deviceType);
// `defaults` with every readable key of the type's section applied; a damaged key keeps the
// default. A text column takes only «не учитывать», «равно» and «обязательно равно»; any other
// kind stored there reads as «равно».
RuleSet readUserRules(const IniFile& settings, int deviceType, const RuleSet& defaults);
// Writes the keys whose rule differs from the default, and the keys already present (so a rule
// set back to its default overwrites the earlier change). Other sections and lines stay.
void writeUserRules(IniFile& settings, int deviceType, const RuleSet& rules, const RuleSet& defaults);

}  // namespace veltris

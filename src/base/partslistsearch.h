#pragma once
// Replacements for every line of a parts list: each line's part looked up in the library by the
// name its text holds, then the finder's best replacements for it within a scope, judged by the
// rules of its device type exactly as a search for that part alone would judge them.
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/componentbase.h"
#include "base/partnames.h"
#include "base/partslist.h"
#include "base/result.h"
#include "base/substitute/find.h"

namespace veltris {

enum class ReplacementScope : std::uint8_t {
    Library,  // every base of the part's device type in the library, its own first
    OwnBase,  // the part's own base
    Chosen    // the bases of `chosen` (what is on the shelf)
};

struct PartsListSearchOptions {
    ReplacementScope scope = ReplacementScope::Library;
    const LibraryFiles* chosen = nullptr;  // for ReplacementScope::Chosen
    std::size_t top = 3;                   // replacements a line; 0 for all
    int nearMisses = 2;
    bool unknownFails = false;
    // The rules of a device type (defaults, the user's).
    std::function<RuleSet(int deviceType)> rules;
};

struct PartsLineResult {
    PartsLine line;
    NameInText name;
    // Found: the part, its base (file index into the library) and record (from 0).
    std::string partName;  // Windows-1251
    int file = -1;
    int row = -1;
    // Found and searched: the query and the finder's report (ranked, cut to `top`, with texts);
    // `problem` when no replacement could be looked for (no rule applies to the part).
    std::optional<FinderQuery> query;
    FinderReport report;
    std::optional<Error> problem;
};

struct PartsListResult {
    std::vector<PartsLineResult> lines;
    bool cancelled = false;
    // Titles of each reference base's columns (Windows-1251, by column), by library file index:
    // the verdicts name the parameters by them.
    std::map<int, std::vector<std::string>> titles;
    const std::vector<std::string>& titlesOf(int file) const;
};

// Looks every line up and searches its replacements. The reference base of each found part is
// read with the base reader once (from the library's bytes); the other bases are judged from
// their bytes (findInFiles). Progress counts lines; a cancel stops between lines.
PartsListResult searchPartsList(const PartsList& list, const LibraryFiles& library,
                                const PartNameIndex& names, const Catalogue& catalogue,
                                const PartsListSearchOptions& options, const FinderProgress& progress = {});

}  // namespace veltris

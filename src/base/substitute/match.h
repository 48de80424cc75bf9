#pragma once
// One candidate as the finder reports it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/substitute/guarantee.h"

namespace veltris {

// Whether a candidate comes in the reference's package (the same drawing number).
enum class PackageMatch : std::uint8_t {
    Unknown,
    Same,
    Other
};

// How many failing parameters of a match keep their deviation for the verdict text.
constexpr std::size_t kShownMisses = 8;

struct FinderMatch {
    int base = 0;      // index into FinderReport::baseFiles
    int row = 0;       // source row in that base
    std::string name;  // Windows-1251
    // Failing rules, guarantees too weak included; when the query counts unknown as failing,
    // the unknown ones too. 0: a full match.
    int fails = 0;
    int unknowns = 0;
    // Closeness, over the numeric rules where the candidate has a value, of the deviations
    // |ln(candidate / reference)|, each side's value its representative (logRepresentative):
    // `distance` sums those against the candidate, `favour` those in its favour (higher where
    // only a lower bound is asked, lower where only an upper one is), each at most
    // kFavourableCap (addDeviation). The package column adds nothing.
    double distance = 0;
    double favour = 0;
    // Near misses: how far the worst failure misses its bound, ln(bound / value) (cellMiss);
    // fixed amounts for failures that have no measure (a package or a code not equal, an
    // unknown counted as failing). 0 for a full match.
    double shortfall = 0;
    std::uint32_t failMask = 0;     // bit i: query rule i failed (either kind)
    std::uint32_t weakMask = 0;     // bit i: query rule i's failure is a guarantee too weak
    std::uint32_t unknownMask = 0;  // bit i: query rule i unknown (with failMask: required, so failing)
    std::uint32_t otherMask = 0;    // bit i: rule i unknown because its figure is «не сравнимо»
    // Near misses of a query with a leading rule (a zener's voltage): how far the candidate's
    // figure there is from the reference's, in steps of 1 % (unknown: the most); orders the near
    // misses before their shortfall. 0 otherwise.
    int lead = 0;
    PackageMatch package = PackageMatch::Unknown;
    // The deviation from the reference's value, in percent, of the first kShownMisses failing
    // rules in query order (k-th entry: k-th set bit of failMask), a one-sided guarantee counted
    // as its number; NaN where there is no number to tell (a code, a package).
    std::array<float, kShownMisses> missPercent{};
    // Cell text of each query rule's column, Windows-1251. findInLibrary gives them; findInBase
    // when asked to, else attachMatchTexts makes them for the rows shown.
    std::vector<std::string> texts;

    Verdict verdict(std::size_t rule) const
    {
        if (weakMask >> rule & 1u)
            return Verdict::NotGuaranteed;
        if (failMask >> rule & 1u)
            return Verdict::Fail;
        return (unknownMask >> rule & 1u) ? Verdict::Unknown : Verdict::Pass;
    }
};

}  // namespace veltris

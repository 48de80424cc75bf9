#pragma once
// The order of the candidates and the class each belongs to.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "base/substitute/match.h"

namespace veltris {

struct FinderQuery;

// Closeness. A deviation ln(candidate / reference) against the candidate (lower where only a
// lower bound is asked, higher where only an upper one is, either way for the other rules)
// counts in full; one in its favour only breaks ties, and at most kFavourableCap of it: a
// better leakage or a higher frequency must not push a close analog down, and one far better
// figure must not outweigh several near ones.
constexpr double kFavourableCap = 0.6931471805599453;  // ln 2

// What a deviation adds to the closeness (`against`) and to the tie-break (`favour`),
// `favoured` as in RuleTarget.
inline void addDeviation(double logDeviation, int favoured, double& against, double& favour)
{
    const double size = std::fabs(logDeviation);
    const bool forCandidate = logDeviation * favoured > 0;
    against += forCandidate ? 0.0 : size;
    favour += forCandidate ? std::min(size, kFavourableCap) : 0.0;
}

// The fixed shortfalls of failures without a measure.
constexpr double kPackageMiss = 0.09531017980432493;  // ln 1.1: often the same chip
constexpr double kCodeMiss = 0.6931471805599453;      // ln 2: a colour code not equal
constexpr double kUnknownMiss = 0.2231435513142098;   // ln 1.25: an unknown counted as failing

// The class of a match, best first.
enum class MatchClass : std::uint8_t {
    Direct,       // «прямая замена»: every rule passes, the same package
    Full,         // «замена»: every rule passes
    WithUnknown,  // «замена, не известно: N»: no rule fails, N cannot be told
    Near,         // «близкая: …»: fails some
};

inline MatchClass matchClass(const FinderMatch& m)
{
    if (m.fails > 0)
        return MatchClass::Near;
    if (m.unknowns > 0)
        return MatchClass::WithUnknown;
    return m.package == PackageMatch::Same ? MatchClass::Direct : MatchClass::Full;
}

// The ranking order over anything with the fields of a match that decide it:
//   full matches before near misses;
//   full matches: fewer unknowns first, then the reference's package first, then the closer
//   (distance, then favour);
//   near misses: the nearer on the leading rule first (a zener's voltage), the smaller worst
//   shortfall, then fewer failures, fewer unknowns, the
//   reference's package, the closer;
//   then base and row.
template <class T>
bool rankedBefore(const T& a, const T& b)
{
    const bool aNear = a.fails > 0;
    const bool bNear = b.fails > 0;
    if (aNear != bNear)
        return bNear;
    if (aNear) {
        if (a.lead != b.lead)
            return a.lead < b.lead;
        if (a.shortfall != b.shortfall)
            return a.shortfall < b.shortfall;
        if (a.fails != b.fails)
            return a.fails < b.fails;
    }
    if (a.unknowns != b.unknowns)
        return a.unknowns < b.unknowns;
    const bool aSame = a.package == PackageMatch::Same;
    const bool bSame = b.package == PackageMatch::Same;
    if (aSame != bSame)
        return aSame;
    if (a.distance != b.distance)
        return a.distance < b.distance;
    if (a.favour != b.favour)
        return a.favour < b.favour;
    if (a.base != b.base)
        return a.base < b.base;
    return a.row < b.row;
}

inline bool betterMatch(const FinderMatch& a, const FinderMatch& b)
{
    return rankedBefore(a, b);
}

// Sorts the candidates (rankedBefore), counts full matches and near misses and cuts to `top`.
void rankMatches(const FinderQuery& query, std::vector<FinderMatch>& matches, std::size_t& fullCount,
                 std::size_t& nearCount);

}  // namespace veltris

#include "base/substitute/ranking.h"

#include <vector>

#include "base/substitute/query.h"

namespace veltris {

void rankMatches(const FinderQuery& query, std::vector<FinderMatch>& matches, std::size_t& fullCount,
                 std::size_t& nearCount)
{
    fullCount = 0;
    nearCount = 0;
    for (const FinderMatch& m : matches)
        (m.fails == 0 ? fullCount : nearCount) += 1;
    // The order is found on small keys, then each match is moved once to its place.
    struct Key {
        int fails;
        int lead;
        int unknowns;
        PackageMatch package;
        double distance;
        double favour;
        double shortfall;
        int base;
        int row;
        std::size_t index;
    };
    std::vector<Key> keys;
    keys.reserve(matches.size());
    for (std::size_t k = 0; k < matches.size(); ++k) {
        const FinderMatch& m = matches[k];
        keys.push_back(
            {m.fails, m.lead, m.unknowns, m.package, m.distance, m.favour, m.shortfall, m.base, m.row, k});
    }
    const auto better = [](const Key& a, const Key& b) { return rankedBefore(a, b); };
    if (query.top > 0 && query.top < keys.size()) {
        std::partial_sort(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(query.top), keys.end(),
                          better);
        keys.resize(query.top);
    } else {
        std::sort(keys.begin(), keys.end(), better);
    }
    std::vector<FinderMatch> ranked;
    ranked.reserve(keys.size());
    for (const Key& key : keys)
        ranked.push_back(std::move(matches[key.index]));
    matches = std::move(ranked);
}

}  // namespace veltris

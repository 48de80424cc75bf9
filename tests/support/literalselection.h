#pragma once
// The parametric selection read literally, the slow reference the fast one is checked against
// (the selection tests and the selection fuzz target).
#include <cmath>
#include <string>
#include <vector>

#include "base/result.h"
#include "base/selection.h"
#include "base/table.h"
#include "base/valuetext.h"

namespace veltris::testsupport {

// The selection read literally: every cell through the filter and the full range parser.
inline Result<SelectionResult> literalSelection(const Table& t, const std::vector<BoundTexts>& b)
{
    SelectionResult out;
    std::vector<BoundPair> pairs;
    bool criteria = false;
    for (std::size_t i = 0; i < b.size(); ++i) {
        auto pair = readBoundPair(b[i], t.cell(0, static_cast<int>(i) + 1), static_cast<int>(i) + 1);
        if (!pair)
            return pair.error();
        criteria = criteria || pair->hasLo || pair->hasHi;
        pairs.push_back(*pair);
    }
    if (!criteria) {
        out.noCriteria = true;
        return out;
    }
    for (int k = 1; k < t.rowCount(); ++k) {
        bool passed = true;
        for (std::size_t i = 0; i < pairs.size() && passed; ++i) {
            const BoundPair& p = pairs[i];
            if (!p.hasLo && !p.hasHi)
                continue;
            const int col = static_cast<int>(i) + 1;
            auto range = parseRange(numericFilter(t.cell(k, col)));
            if (!range) {
                Error e = range.error();
                const std::string title = t.cell(0, col);
                e.message = (title.empty() ? "Столбец " + std::to_string(col) : "Столбец «" + title + "»") +
                            ": " + e.message;
                return e;
            }
            passed = (!p.hasLo || std::fabs(range->a) >= p.lo) && (!p.hasHi || std::fabs(range->b) <= p.hi);
        }
        if (passed)
            out.rows.push_back(k);
    }
    return out;
}

}  // namespace veltris::testsupport

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

// The selection read literally: bounds re-read for every component, every cell through the
// filter and the full range parser.
inline Result<SelectionResult> literalSelection(const Table& t, const std::vector<BoundTexts>& b)
{
    SelectionResult out;
    bool criteria = false;
    for (const auto& row : b) {
        for (const std::string& s : {row.lower, row.upper}) {
            auto v = parseNumber("0" + numericFilter(s));
            if (!v)
                return Error{ErrorKind::InvalidNumber, invalidNumberMessage(s)};  // quoted as typed
            if (*v != 0)
                criteria = true;
            if (criteria)
                break;
        }
        if (criteria)
            break;
    }
    if (!criteria) {
        out.noCriteria = true;
        return out;
    }
    for (int k = 1; k < t.rowCount(); ++k) {
        bool anyActive = false;
        bool passed = true;
        for (std::size_t i = 0; i < b.size() && passed; ++i) {
            if (b[i].lower.empty() || b[i].upper.empty())
                continue;
            // A rejected bound is quoted as typed.
            auto lo = parseNumber("0" + numericFilter(b[i].lower));
            if (!lo)
                return Error{ErrorKind::InvalidNumber, invalidNumberMessage(b[i].lower)};
            auto hi = parseNumber("0" + numericFilter(b[i].upper));
            if (!hi)
                return Error{ErrorKind::InvalidNumber, invalidNumberMessage(b[i].upper)};
            if (std::fabs(*lo) == 0 || std::fabs(*hi) == 0)
                continue;
            anyActive = true;
            auto range = parseRange(numericFilter(t.cell(k, static_cast<int>(i) + 1)));
            if (!range)
                return range.error();
            passed = std::fabs(range->a) >= std::fabs(*lo) && std::fabs(range->b) <= std::fabs(*hi);
        }
        if (anyActive && passed)
            out.rows.push_back(k);
    }
    return out;
}

}  // namespace veltris::testsupport

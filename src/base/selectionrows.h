#pragma once
// The parametric selection's test of rows over the records of every base of a library: the
// bounds read once (as the selection over the main table reads them), then each row tested
// against them through a reader of its cells' ends.
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/selection.h"

namespace veltris {

struct SelectionBound {
    int column = 0;
    BoundPair bounds;
};

struct PreparedBounds {
    bool noCriteria = false;  // no row has a bound
    std::vector<SelectionBound> active;
};

// The bounds as selectComponents reads them, each row in the unit of its column's title
// (`titleOf(column)`, Windows-1251; empty: the column's own unit is not known). Error:
// InvalidNumber naming the column and the text that does not read.
Result<PreparedBounds> prepareBounds(std::span<const BoundTexts> bounds,
                                     const std::function<std::string(int)>& titleOf);

// |A| and |B| of a cell's range as the selection reads its text; false with the error when the
// text does not read.
bool cellEndsFromText(std::string_view cell, double& a, double& b, Error& error);

// The rows first..end-1 that pass every active bound, in order. `ends(row, column, a, b, error)`
// gives the absolute ends of a cell (false with the error when its text does not read); a
// column at or past `columns` reads as an empty cell (0). A row is rejected at its first
// failing bound.
template <class Ends>
Result<std::vector<int>> selectRows(const PreparedBounds& prepared, int first, int end, int columns,
                                    Ends ends)
{
    std::vector<int> rows;
    for (int k = first; k < end; ++k) {
        bool passed = true;
        for (const SelectionBound& e : prepared.active) {
            double a = 0;
            double b = 0;
            if (e.column < columns) {
                Error error;
                if (!ends(k, e.column, a, b, error))
                    return error;
            }
            if ((e.bounds.hasLo && !(a >= e.bounds.lo)) || (e.bounds.hasHi && !(b <= e.bounds.hi))) {
                passed = false;
                break;
            }
        }
        if (passed)
            rows.push_back(k);
    }
    return rows;
}

}  // namespace veltris

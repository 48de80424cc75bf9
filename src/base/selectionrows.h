#pragma once
// The parametric selection's test of rows, shared by the selection over the main table and the
// one over the records of every base of a library: the bounds converted once, then each row
// tested against them through a reader of its cells' ends.
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/selection.h"

namespace veltris {

struct SelectionBound {
    int column = 0;
    double lo = 0;
    double hi = 0;
    int fault = -1;  // index into PreparedBounds::faults: a bound that does not convert
};

struct PreparedBounds {
    bool noCriteria = false;  // every bound converts to 0
    std::vector<SelectionBound> active;
    std::vector<Error> faults;
};

// The bounds as selectComponents reads them. Error: InvalidNumber while telling whether there
// are criteria at all.
Result<PreparedBounds> prepareBounds(std::span<const BoundTexts> bounds);

// |A| and |B| of a cell's range as the selection reads its text; false with the error when the
// text does not read.
bool cellEndsFromText(std::string_view cell, double& a, double& b, Error& error);

// The rows first..end-1 that pass every active bound, in order. `ends(row, column, a, b, error)`
// gives the absolute ends of a cell (false with the error when its text does not read); a
// column at or past `columns` reads as an empty cell and fails. A row is rejected at its first
// failing bound; a bound's fault is reported when a row's test reaches it.
template <class Ends>
Result<std::vector<int>> selectRows(const PreparedBounds& prepared, int first, int end, int columns,
                                    Ends ends)
{
    std::vector<int> rows;
    for (int k = first; k < end; ++k) {
        bool passed = true;
        for (const SelectionBound& e : prepared.active) {
            if (e.fault >= 0)
                return prepared.faults[static_cast<std::size_t>(e.fault)];
            if (e.column >= columns) {
                passed = false;
                break;
            }
            double a = 0;
            double b = 0;
            Error error;
            if (!ends(k, e.column, a, b, error))
                return error;
            if (!(a >= e.lo && b <= e.hi)) {
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

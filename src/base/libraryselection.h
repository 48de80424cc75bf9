#pragma once
// The parametric selection over every base of a library: the search page's bounds applied to
// the records of each base file of one device type, read straight from the file's bytes.
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "base/selection.h"
#include "base/substitute/libraryfiles.h"

namespace veltris {

class Catalogue;

struct LibrarySelectionHit {
    int file = 0;      // index into LibraryFiles::files
    int row = 0;       // record of that file, from 0
    std::string name;  // Windows-1251
};

struct LibrarySelection {
    bool noCriteria = false;                // every bound converts to 0: nothing selected
    std::vector<LibrarySelectionHit> hits;  // files in order, records in file order
};

// Selects in every file of `deviceType` as selectComponents selects in one base's table: the
// same bounds, the same reading of each cell (its stored form where its text would read the
// same, else its text). A file of an unusual shape is read by the base reader. Error: the first
// bound or cell text that does not convert (naming the file for a cell). The bounds are read in
// the units of the titles `titleOf(column)` gives (Windows-1251), by default the catalogue's
// first name of each column.
Result<LibrarySelection> selectInLibrary(const LibraryFiles& library, const Catalogue& catalogue,
                                         int deviceType, std::span<const BoundTexts> bounds,
                                         const std::function<std::string(int)>& titleOf = {});

}  // namespace veltris

#pragma once
// The public entry points of the finder: judging a snapshot, one base in the store, or the
// whole library of the query's device type, and the report they give.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/fileidentity.h"
#include "base/result.h"
#include "base/substitute/libraryfiles.h"
#include "base/substitute/match.h"
#include "base/substitute/query.h"
#include "base/substitute/source.h"

namespace veltris {

class Catalogue;
class NavigatorCatalogue;
struct ComponentBase;

// What a search found. A search whose progress cancels comes back with `cancelled` set and no
// matches.
struct FinderReport {
    std::vector<std::string> baseFiles;  // as given by the caller / the navigator
    // Of each of baseFiles as it was read (the open base's, from memory, is left unknown): a
    // result of a base changed since cannot be opened by its row.
    std::vector<FileIdentity> baseIdentities;
    std::vector<FinderMatch> matches;  // ranked
    std::size_t fullCount = 0;         // full matches found (before the cut to `top`)
    std::size_t nearCount = 0;         // near misses found (before the cut)
    std::vector<Error> problems;       // library bases that could not be read
    bool cancelled = false;
};

// Judges every row of `source` except the reference (when `excludeRow` >= 0) and appends the
// kept candidates, without texts, to `out` with base index `baseIndex`. Kept: rows with at
// most query.nearMisses failures, none of them a gate's, and at least one rule told (a row no
// rule can tell anything of is no match). Returns false when cancelled. The rules' columns
// (queryColumns) must be built.
bool judgeSource(const FinderQuery& query, const FinderSource& source, int baseIndex, int excludeRow,
                 std::vector<FinderMatch>& out, const FinderProgress& progress = {});

// Ranks the candidates of the open base (reference excluded). Without `withTexts` the matches
// come without their texts, and a caller asks attachMatchTexts for the ones it shows. With it,
// every match of the result gets its texts: uncut, while judging, when each block of rows is
// still in the cache (cheaper than asking for all of them afterwards); cut to `top`, after the cut.
FinderReport findInBase(const FinderQuery& query, const ComponentBase& base, std::string_view fileName,
                        const FinderProgress& progress = {}, bool withTexts = false);

// Makes the texts of those of `matches` whose base index is `baseIndex`, from `base` (the base
// the query was judged on, unchanged since); the others stay as they are.
void attachMatchTexts(const FinderQuery& query, const ComponentBase& base, int baseIndex,
                      std::span<FinderMatch> matches);

// Library scope: the open base and every other base of the query's device type that the
// navigator catalogue lists (a file equal to `openFile` is taken from memory, not disk). Each
// file is read whole (readWholeFile: regular files of a base's size only) and judged from its
// bytes (what finderSourceFromBytes reads); one that cannot be read is reported in `problems`
// with the reader's error and skipped. Progress counts bases; a cancel is seen also inside the
// read of a long file.
FinderReport findInLibrary(const FinderQuery& query, const ComponentBase& openBase, std::string_view openFile,
                           const NavigatorCatalogue& navigator, const Catalogue& catalogue,
                           const FinderProgress& progress = {});

// The library scope over files already read (readLibraryFiles): the open base first when given
// (from memory, its reference row left out, a file named `openFile` then skipped), then each
// file of the query's device type in the given order, judged from its bytes as findInLibrary
// judges a file it reads. For many searches over one library: the same report findInLibrary
// gives over the same files, without reading them again.
FinderReport findInFiles(const FinderQuery& query, const ComponentBase* openBase, std::string_view openFile,
                         std::span<const LibraryFile> files, const Catalogue& catalogue,
                         const FinderProgress& progress = {});

}  // namespace veltris

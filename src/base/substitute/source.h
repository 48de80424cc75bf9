#pragma once
// The source snapshot: one base as the finder sees it, per parameter column what each cell's
// text promises as plain arrays (lower end, upper end, which ends are known), and the names.
// Only the adapters at the end of this header know the component base store and the file.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/substitute/namelookup.h"
#include "base/substitute/unitscale.h"

namespace veltris {

class Catalogue;
struct ComponentBase;

// Progress: called now and then with the work done and the total (records or bases); returning
// false cancels.
using FinderProgress = std::function<bool(std::size_t done, std::size_t total)>;

// One base as the finder sees it. Columns 1..C; a column not built reads as unknown.
class FinderSource {
public:
    FinderSource(int deviceType, int rowCount);

    int deviceType() const { return m_deviceType; }
    int columnCount() const { return m_columnCount; }
    int rowCount() const { return m_rowCount; }

    // Names, Windows-1251, at most 15 bytes kept.
    void setName(int row, std::string_view cp1251);
    std::string_view name(int row) const;

    struct Column {
        bool built = false;
        bool text = false;
        UnitScale unit;
        std::vector<double> lo;  // numeric columns
        std::vector<double> hi;
        std::vector<std::uint8_t> known;  // kKnownLow | kKnownHigh
        std::vector<std::uint64_t> key;   // text columns: colourKey, 0 unknown
    };
    Column& column(int c) { return m_columns[static_cast<std::size_t>(c)]; }
    const Column& column(int c) const { return m_columns[static_cast<std::size_t>(c)]; }
    // Sizes the arrays of column c and marks it built.
    Column& buildColumn(int c, bool text, UnitScale unit);

private:
    static constexpr std::size_t kNameField = 16;
    int m_deviceType;
    int m_columnCount;
    int m_rowCount;
    std::string m_names;            // kNameField bytes a row: length, then the bytes
    std::vector<Column> m_columns;  // index 0 unused
};

// ---- adapters over the component base store and the base file ----

// Builds the finder's view of a base: names and the given columns (all when empty); unit scales
// from the titles in row 0. Source row i is table row i + 1. Each cell means what its text
// means (cellMeaning, colourKey); loaded cells are read from their stored form without making
// the text, edited cells and text columns from their text. Progress counts rows; when it
// cancels, *cancelled (if given) is set and the source is incomplete.
FinderSource finderSourceFromBase(const ComponentBase& base, std::span<const int> columns = {},
                                  const FinderProgress& progress = {}, bool* cancelled = nullptr);
// The same view made from every cell's text: the reference finderSourceFromBase must equal.
FinderSource finderSourceFromTexts(const ComponentBase& base, std::span<const int> columns = {});
// The same view read straight from a base file's bytes, without the base store: equal to
// finderSourceFromBase of what decodeBase makes of them. Errors: those of decodeBase.
Result<FinderSource> finderSourceFromBytes(std::string_view bytes, const Catalogue& catalogue,
                                           std::span<const int> columns = {});

// The rows a typed name finds (lookUpName): rows whose whole name it is first, then the rows
// whose name holds it, each group in table order.
NameLookup lookUpName(const FinderSource& source, std::string_view typedCp1251);
std::vector<int> findNameMatches(const FinderSource& source, std::string_view typedCp1251);

}  // namespace veltris

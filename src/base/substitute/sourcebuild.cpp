#include <algorithm>
#include <new>
#include <utility>

#include "base/basefile.h"
#include "base/componentbase.h"
#include "base/recordcells.h"
#include "base/substitute/rules.h"
#include "base/substitute/source.h"
#include "base/substitute/storecells.h"
#include "base/table.h"

namespace veltris {

using namespace substitute;
using record::plainBaseBytes;
using record::RecordCells;

namespace {

constexpr int kReadStep = 1 << 14;  // rows between progress calls while reading a base

// Fills the names and the wanted columns of `source`; `headOf(c)` says whether column c exists
// in the base and its title, `cells` reads them. Progress counts rows.
template <CellReader Cells, class HasColumn, class TitleOf>
bool fillSource(FinderSource& source, const Cells& cells, std::span<const int> columns, HasColumn hasColumn,
                TitleOf titleOf, const FinderProgress& progress)
{
    std::vector<int> wanted;
    if (columns.empty()) {
        for (int c = 1; c <= source.columnCount(); ++c)
            wanted.push_back(c);
    } else {
        wanted.assign(columns.begin(), columns.end());
    }
    std::vector<std::pair<int, FinderSource::Column*>> built;
    for (int c : wanted) {
        if (c < 1 || c > source.columnCount() || !hasColumn(c) || source.column(c).built)
            continue;
        built.emplace_back(
            c, &source.buildColumn(c, isTextParameter(source.deviceType(), c), unitScaleOfTitle(titleOf(c))));
    }
    // In steps of rows, column by column within a step: each column's arrays are read in order.
    const int rows = source.rowCount();
    std::vector<int> list;
    for (int from = 0; from < rows; from += kReadStep) {
        if (progress && !progress(static_cast<std::size_t>(from), static_cast<std::size_t>(rows)))
            return false;
        const int to = std::min(rows, from + kReadStep);
        list.resize(static_cast<std::size_t>(to - from));
        for (int i = from; i < to; ++i) {
            list[static_cast<std::size_t>(i - from)] = i;
            source.setName(i, cells.name(i));
        }
        for (const auto& [c, col] : built) {
            if (col->text)
                cells.keys(c, list.data(), list.size(), 0, col->key.data());
            else
                cells.numeric(c, list.data(), list.size(),
                              MeaningOut{col->lo.data(), col->hi.data(), col->known.data(), 0});
        }
    }
    return true;
}

template <CellReader Cells>
FinderSource buildSource(const ComponentBase& base, const Cells& cells, std::span<const int> columns,
                         const FinderProgress& progress, bool* cancelled)
{
    FinderSource source(base.deviceType, base.recordCount());
    const Table& table = base.table;
    const bool done = fillSource(
        source, cells, columns, [&](int c) { return c < table.columnCount(); },
        [&](int c) { return table.cell(0, c); }, progress);
    if (cancelled != nullptr)
        *cancelled = !done;
    return source;
}

}  // namespace

FinderSource finderSourceFromBase(const ComponentBase& base, std::span<const int> columns,
                                  const FinderProgress& progress, bool* cancelled)
{
    return buildSource(base, StoreCells(base.table), columns, progress, cancelled);
}

FinderSource finderSourceFromTexts(const ComponentBase& base, std::span<const int> columns)
{
    return buildSource(base, TextCells(base.table), columns, {}, nullptr);
}

Result<FinderSource> finderSourceFromBytes(std::string_view bytes, const Catalogue& catalogue,
                                           std::span<const int> columns)
{
    if (!plainBaseBytes(bytes))
        return decodeBase(bytes, catalogue).error();  // the base reader's own words
    const RecordCells cells(bytes, catalogue);
    try {
        FinderSource source(cells.deviceType(), static_cast<int>(cells.records()));
        fillSource(
            source, cells, columns, [&](int c) { return cells.hasColumn(c); },
            [&](int c) { return cells.title(c); }, {});
        return source;
    } catch (const std::bad_alloc&) {
        return outOfMemoryError();
    }
}

}  // namespace veltris

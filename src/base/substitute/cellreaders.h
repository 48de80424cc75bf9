#pragma once
// Cell readers: what the judge and the source snapshot read cells through. A reader hands over
// what the cells of a list of rows promise, the colour codes of a text column, and a row's name;
// one reader for each place cells live (the snapshot, the base store, a base file's records).
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/substitute/source.h"
#include "base/substitute/storedform.h"

namespace veltris::substitute {

// Where a cell reader writes what the cells of a list of rows promise: row r at index r - first.
// A cell reader calls put(row, meaning) or plain(row, flags, value) once for each row it reads.
struct MeaningOut {
    double* lo;
    double* hi;
    std::uint8_t* known;
    int first;

    void put(int row, const CellMeaning& m) const
    {
        const auto k = static_cast<std::size_t>(row - first);
        lo[k] = m.lo;
        hi[k] = m.hi;
        known[k] = m.known;
    }
    void plain(int row, std::uint8_t flags, double v) const
    {
        const auto k = static_cast<std::size_t>(row - first);
        const std::uint8_t kn = plainKnown(flags, v);
        lo[k] = hi[k] = kn == 0 ? 0 : std::fabs(v);
        known[k] = kn;
    }
};

// The same for a list of rows written in list order: the row at rows[a] to index a. A reader
// hands the rows over in list order, so a running index finds each one's place.
struct KeptOut {
    double* lo;
    double* hi;
    std::uint8_t* known;
    std::size_t at = 0;

    void put(int, const CellMeaning& m)
    {
        lo[at] = m.lo;
        hi[at] = m.hi;
        known[at++] = m.known;
    }
    void plain(int, std::uint8_t flags, double v)
    {
        const std::uint8_t kn = plainKnown(flags, v);
        lo[at] = hi[at] = kn == 0 ? 0 : std::fabs(v);
        known[at++] = kn;
    }
};

// A cell reader:
//   numeric(column, rows, n, out) calls out.put(row, meaning) or out.plain(row, flags, value)
//     once for each of rows[0..n) in list order and gives `out` back (MeaningOut, KeptOut,
//     RuleJudge);
//   keys(column, rows, n, first, key) writes the colour codes, row r at key[r - first];
//   name(row) gives a row's name, valid until the next call.
template <class Cells>
concept CellReader = requires(const Cells& cells, int column, const int* rows, std::size_t n, int first,
                              std::uint64_t* key, MeaningOut out)
{
    {
        cells.numeric(column, rows, n, out)
        } -> std::same_as<MeaningOut>;
    cells.keys(column, rows, n, first, key);
    {
        cells.name(first)
        } -> std::convertible_to<std::string_view>;
};

// A built FinderSource as the judge reads it.
class SourceCells {
public:
    explicit SourceCells(const FinderSource& source) : m_source(source) {}

    template <class Out>
    Out numeric(int c, const int* rows, std::size_t n, Out out) const
    {
        const FinderSource::Column& col = m_source.column(c);
        for (std::size_t a = 0; a < n; ++a) {
            const auto r = static_cast<std::size_t>(rows[a]);
            out.put(rows[a], CellMeaning{col.lo[r], col.hi[r], col.known[r]});
        }
        return out;
    }
    void keys(int c, const int* rows, std::size_t n, int first, std::uint64_t* key) const
    {
        const FinderSource::Column& col = m_source.column(c);
        for (std::size_t a = 0; a < n; ++a)
            key[rows[a] - first] = col.key[static_cast<std::size_t>(rows[a])];
    }
    std::string_view name(int row) const { return m_source.name(row); }

private:
    const FinderSource& m_source;
};
static_assert(CellReader<SourceCells>);

}  // namespace veltris::substitute

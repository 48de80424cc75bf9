#pragma once
// The cell readers over a base in the store: from the stored form (StoreCells) and from every
// cell's text (TextCells, the reference the stored-form reading must equal).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/substitute/cellreaders.h"
#include "base/table.h"

namespace veltris::substitute {

// The text a cell shows: an edited cell's text, a text column's own, else made from the stored
// form into `scratch`.
inline std::string_view shownText(const Table& table, std::uint32_t stored, int col, std::string& scratch)
{
    const ColumnStore& c = table.column(col);
    if (c.kind == CellKind::Text)
        return c.text(stored);
    if (table.rowEdited(stored)) {
        if (const std::string* edited = table.editedText(stored, col))
            return *edited;
    }
    scratch = table.storedText(stored, col);
    return scratch;
}

// A name as the finder keeps it: at most 15 bytes.
inline std::string_view keptName(std::string_view name)
{
    return name.substr(0, 15);
}

// The cells of a base in the store as the judge reads them: each cell means what its text
// means; loaded cells are read from their stored form without making the text, edited cells
// and text columns from their text.
class StoreCells {
public:
    explicit StoreCells(const Table& table) : m_table(table) {}

    template <class Out>
    Out numeric(int c, const int* rows, std::size_t n, Out out) const
    {
        const ColumnStore& store = m_table.column(c);
        const std::span<const std::uint32_t> order = m_table.order();
        if (store.kind == CellKind::Value) {
            // The commonest cell, a loaded value that reads back as itself, without a call.
            const std::uint8_t* classes = store.classes.data();
            const std::uint8_t* flags = store.flags.data();
            const double* values = store.a.data();
            const bool edits = m_table.anyEdited();
            for (std::size_t a = 0; a < n; ++a) {
                const std::uint32_t s = order[static_cast<std::size_t>(rows[a])];
                if (classes[s] <= kValueExact && !(edits && m_table.rowEdited(s)))
                    out.plain(rows[a], flags[s], values[s]);
                else
                    out.put(rows[a], other(store, c, s));
            }
            return out;
        }
        if (store.kind == CellKind::Drawing) {
            const std::int16_t* drawing = store.drawing.data();
            for (std::size_t a = 0; a < n; ++a) {
                const std::uint32_t s = order[static_cast<std::size_t>(rows[a])];
                if (!m_table.rowEdited(s))
                    out.plain(rows[a], 0, drawing[s]);
                else
                    out.put(rows[a], other(store, c, s));
            }
            return out;
        }
        for (std::size_t a = 0; a < n; ++a)
            out.put(rows[a], other(store, c, order[static_cast<std::size_t>(rows[a])]));
        return out;
    }
    void keys(int c, const int* rows, std::size_t n, int first, std::uint64_t* key) const
    {
        for (std::size_t a = 0; a < n; ++a)
            key[rows[a] - first] =
                colourKey(shownText(m_table, m_table.storedRow(rows[a] + 1), c, m_scratch));
    }
    std::string_view name(int row) const
    {
        return keptName(shownText(m_table, m_table.storedRow(row + 1), 0, m_scratch));
    }

private:
    CellMeaning other(const ColumnStore& store, int c, std::uint32_t s) const
    {
        CellMeaning m;
        const bool edited = m_table.rowEdited(s) && m_table.editedText(s, c) != nullptr;
        if (edited || !storedMeaning(storedCell(store, s), m))
            m = cellMeaning(shownText(m_table, s, c, m_scratch));
        return m;
    }

    const Table& m_table;
    mutable std::string m_scratch;
};

// The same from every cell's text: the reference the stored-form reading must equal.
class TextCells {
public:
    explicit TextCells(const Table& table) : m_table(table) {}

    template <class Out>
    Out numeric(int c, const int* rows, std::size_t n, Out out) const
    {
        for (std::size_t a = 0; a < n; ++a)
            out.put(rows[a], cellMeaning(m_table.cell(rows[a] + 1, c)));
        return out;
    }
    void keys(int c, const int* rows, std::size_t n, int first, std::uint64_t* key) const
    {
        for (std::size_t a = 0; a < n; ++a)
            key[rows[a] - first] = colourKey(m_table.cell(rows[a] + 1, c));
    }
    std::string_view name(int row) const
    {
        m_scratch = m_table.cell(row + 1, 0);
        return keptName(m_scratch);
    }

private:
    const Table& m_table;
    mutable std::string m_scratch;
};
static_assert(CellReader<StoreCells>);
static_assert(CellReader<TextCells>);

}  // namespace veltris::substitute

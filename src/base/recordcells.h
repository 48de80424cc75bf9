#pragma once
// The cells of base records read straight from a base file's bytes, without the base store: a
// library search judges other bases on them and reads only the cells of the rows that can still
// be kept. Each cell reads as the base reader would store it (the shared record layout), so it
// means what the same cell of the decoded base means.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/recordlayout.h"
#include "base/substitute/cellreaders.h"
#include "base/substitute/storedform.h"
#include "base/substitute/valuetexts.h"
#include "base/table.h"

namespace veltris {
class Catalogue;
}

namespace veltris::record {

using substitute::quickClass;
using substitute::StoredCell;
using substitute::storedMeaning;

// Where a column's cell lies in a record, and the stored kind the base reader gives it.
struct RecordSlot {
    CellKind kind = CellKind::Text;
    int a = 0;             // offset of the value (versions 4, 5: of the flag byte before it)
    int b = 0;             // ranges: offset of the upper end
    bool signed3 = false;  // version 3: a negative value is its magnitude in parentheses
    int textMax = 0;       // text cells: the longest text
};

RecordSlot recordSlot(int version, int code, int paramColumns, int c);

// One cell of a record as the base reader would store it.
inline StoredCell recordCell(const RecordSlot& slot, const char* rec)
{
    StoredCell cell;
    cell.kind = slot.kind;
    switch (slot.kind) {
    case CellKind::Text: break;
    case CellKind::Drawing: cell.drawing = load<std::int16_t>(rec + slot.a); break;
    case CellKind::Value:
        if (slot.signed3) {
            const double v = load<double>(rec + slot.a);
            cell.flags = v < 0 ? kFlagParen : 0;
            cell.a = v < 0 ? -v : v;
        } else {
            cell.flags = static_cast<std::uint8_t>(rec[slot.a]);
            cell.a = load<double>(rec + slot.a + 1);
        }
        cell.classes = quickClass(cell.a);
        break;
    case CellKind::Range:
        cell.flags = static_cast<std::uint8_t>(rec[slot.a]);
        cell.a = load<double>(rec + slot.a + 1);
        cell.b = load<double>(rec + slot.b);
        cell.classes = static_cast<std::uint8_t>(quickClass(cell.a) | quickClass(cell.b) << 2);
        break;
    case CellKind::V3Range:
        cell.a = load<double>(rec + slot.a);
        cell.b = load<double>(rec + slot.b);
        break;
    }
    return cell;
}

// The text the store would show for a stored cell of a record.
std::string recordText(const RecordSlot& slot, const char* rec);

// A base file's bytes whose lead has been checked: its records as the judge reads them.
class RecordCells {
public:
    RecordCells(std::string_view bytes, const Catalogue& catalogue);

    int deviceType() const { return m_type; }
    std::size_t records() const { return m_records; }
    // Whether column c is in the base's table.
    bool hasColumn(int c) const { return c >= 1 && c < m_tableColumns; }
    const std::string& title(int c) const { return m_titles[static_cast<std::size_t>(c)]; }

    template <class Out>
    Out numeric(int c, const int* rows, std::size_t n, Out out) const
    {
        const RecordSlot& slot = m_slots[static_cast<std::size_t>(c)];
        if (slot.kind == CellKind::Value && !slot.signed3) {
            // The commonest cell, a value that reads back as itself, without a call.
            for (std::size_t a = 0; a < n; ++a) {
                const char* s = record(rows[a]) + slot.a;
                const auto flags = static_cast<std::uint8_t>(s[0]);
                const double v = load<double>(s + 1);
                if (v == 0 || quickClass(v) == kValueExact)
                    out.plain(rows[a], flags, v);
                else
                    out.put(rows[a], other(slot, record(rows[a])));
            }
            return out;
        }
        if (slot.kind == CellKind::Drawing) {
            for (std::size_t a = 0; a < n; ++a)
                out.plain(rows[a], 0, load<std::int16_t>(record(rows[a]) + slot.a));
            return out;
        }
        for (std::size_t a = 0; a < n; ++a)
            out.put(rows[a], other(slot, record(rows[a])));
        return out;
    }
    void keys(int c, const int* rows, std::size_t n, int first, std::uint64_t* key) const
    {
        const RecordSlot& slot = m_slots[static_cast<std::size_t>(c)];
        for (std::size_t a = 0; a < n; ++a)
            key[rows[a] - first] = colourKey(recordText(slot, record(rows[a])));
    }
    std::string_view name(int row) const { return shortText(record(row), kNameMax); }
    // Cell c of a row as the base reader would store it, and its text.
    StoredCell storedCell(int row, int c) const
    {
        return recordCell(m_slots[static_cast<std::size_t>(c)], record(row));
    }
    std::string cellText(int row, int c) const
    {
        return recordText(m_slots[static_cast<std::size_t>(c)], record(row));
    }
    // Appends the text of column c of a row to `out` (query column j of `memo`).
    void appendText(int row, int c, std::size_t j, std::string& out, substitute::ValueTexts& memo) const;

private:
    const char* record(int row) const { return m_first + static_cast<std::size_t>(row) * m_size; }

    static CellMeaning other(const RecordSlot& slot, const char* rec)
    {
        CellMeaning m;
        if (!storedMeaning(recordCell(slot, rec), m))
            m = cellMeaning(recordText(slot, rec));
        return m;
    }

    int m_version = 0;
    int m_type = 0;
    int m_tableColumns = 0;
    std::size_t m_size = 0;
    std::size_t m_records = 0;
    const char* m_first = nullptr;
    std::vector<std::string> m_titles;
    std::vector<RecordSlot> m_slots;
};

// Fills the names and the wanted columns of `source`; `headOf(c)` says whether column c exists
static_assert(substitute::CellReader<RecordCells>);

// Whether `bytes` have a lead and a version the record reading knows, and a record count the
// tables can hold; anything else is left to the base reader.
bool plainBaseBytes(std::string_view bytes);

}  // namespace veltris::record

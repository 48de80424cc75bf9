#include "base/recordcells.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/devicetype.h"
#include "base/valuetext.h"

namespace veltris::record {

RecordSlot recordSlot(int version, int code, int paramColumns, int c)
{
    if (version == 3) {
        if (c == paramColumns)
            return {CellKind::Drawing, kV3DrawingOffset, 0, false, 0};
        if (c == kV3RangeColumn)
            return {CellKind::V3Range, kV3RangeA, kV3RangeB, false, 0};
        return {CellKind::Value, v3ValueOffset(c), 0, true, 0};
    }
    if (c == paramColumns)
        return {CellKind::Drawing, kDrawingOffset, 0, false, 0};
    const DeviceType* type = findDeviceType(code);
    if (type && c == type->rangeColumn)
        return {CellKind::Range, kSlotsOffset + kSlotSize * kRangeSlotA,
                kSlotsOffset + kSlotSize * kRangeSlotB + 1, false, 0};
    if (type && c == type->colourColumn)
        return {CellKind::Text, kSlotsOffset, 0, false, kColourMax};
    return {CellKind::Value, kSlotsOffset + kSlotSize * valueSlot(code, c), 0, false, 0};
}

std::string recordText(const RecordSlot& slot, const char* rec)
{
    if (slot.kind == CellKind::Text)
        return std::string(shortText(rec + slot.a, slot.textMax));
    const StoredCell c = recordCell(slot, rec);
    switch (c.kind) {
    case CellKind::Value:
        return c.flags == 0 && c.classes == kValueExact ? numberText(c.a) : flaggedValueText(c.flags, c.a);
    case CellKind::Range: return rangeValueText(c.flags, c.a, c.b);
    case CellKind::V3Range: return v3RangeText(c.a, c.b);
    case CellKind::Drawing: {
        char buf[8];
        const auto r = std::to_chars(buf, buf + sizeof buf, c.drawing);
        return std::string(buf, r.ptr);
    }
    case CellKind::Text: break;
    }
    return {};
}

RecordCells::RecordCells(std::string_view bytes, const Catalogue& catalogue)
{
    const auto* u = reinterpret_cast<const std::uint8_t*>(bytes.data());
    m_version = formatVersion(u);
    m_type = headerDeviceType(u);
    m_tableColumns = tableColumnCount(m_type);
    const bool hasLayout = findDeviceType(m_type) != nullptr;
    const auto size = static_cast<std::size_t>(recordSize(m_version));
    m_size = size;
    m_first = bytes.data() + kLeadSize;
    m_records = hasLayout ? (bytes.size() - kLeadSize) / size : 0;
    // Titles as the base reader gives them, for the units.
    const int titled = std::min(parameterColumnCount(m_type), m_tableColumns - 1);
    m_titles.resize(static_cast<std::size_t>(m_tableColumns));
    for (int c = 1; c <= titled && c <= kMaxParamColumns; ++c)
        m_titles[static_cast<std::size_t>(c)] = catalogue.name(m_type, c, u[kHeaderSize + c - 1]);
    m_slots.resize(static_cast<std::size_t>(m_tableColumns));
    for (int c = 1; c < m_tableColumns; ++c)
        m_slots[static_cast<std::size_t>(c)] =
            hasLayout ? recordSlot(m_version, m_type, m_tableColumns - 1, c) : RecordSlot{};
}

void RecordCells::appendText(int row, int c, std::size_t j, std::string& out,
                             substitute::ValueTexts& memo) const
{
    const RecordSlot& slot = m_slots[static_cast<std::size_t>(c)];
    const char* rec = record(row);
    if (slot.kind != CellKind::Value) {
        out += recordText(slot, rec);
        return;
    }
    double v = 0;
    std::uint8_t flags = 0;
    if (slot.signed3) {
        v = load<double>(rec + slot.a);
        flags = v < 0 ? kFlagParen : 0;
        v = v < 0 ? -v : v;
    } else {
        flags = static_cast<std::uint8_t>(rec[slot.a]);
        v = load<double>(rec + slot.a + 1);
    }
    memo.append(j, flags, v, out, [&](std::string& t) { t = recordText(slot, rec); });
}

bool plainBaseBytes(std::string_view bytes)
{
    if (bytes.size() < static_cast<std::size_t>(kLeadSize))
        return false;
    const int version = formatVersion(reinterpret_cast<const std::uint8_t*>(bytes.data()));
    return version != 0 && (bytes.size() - kLeadSize) / static_cast<std::size_t>(recordSize(version)) <
                               static_cast<std::size_t>(std::numeric_limits<int>::max());
}

}  // namespace veltris::record

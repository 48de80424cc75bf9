#pragma once
// Where the fields of a component record lie, and how they are read. The base reader and writer
// and the direct reading of base records (recordcells.h) share them, so they cannot drift apart.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "base/devicetype.h"

namespace veltris::record {

// Versions 4 and 5 (288 bytes): the name, then 9-byte value slots (a flag byte and a double),
// then the drawing number.
constexpr int kNameMax = 15;  // the name: a length byte and up to 15 characters
constexpr int kSlotsOffset = 16;
constexpr int kSlotSize = 9;
constexpr int kDrawingOffset = 286;  // int16
constexpr int kColourMax = 8;        // the LED colour code: a length byte and up to 8 characters
// A range column keeps its ends in these two slots.
constexpr int kRangeSlotA = 13;
constexpr int kRangeSlotB = 14;

// Version 3 (258 bytes, bipolar transistors): the name, then plain doubles: columns 1..13, the
// two ends of the range column 14, columns 15..29; then the drawing number.
constexpr int kV3RangeColumn = 14;
constexpr int kV3FirstValues = 16;  // columns 1..13, 8 bytes each
constexpr int kV3RangeA = 120;
constexpr int kV3RangeB = 128;
constexpr int kV3LaterValues = 136;  // columns 15..29, 8 bytes each
constexpr int kV3DrawingOffset = 256;

// The offset of a version-3 plain value column (any column but the range column and the drawing).
constexpr int v3ValueOffset(int column)
{
    return column < kV3RangeColumn ? kV3FirstValues + 8 * (column - 1)
                                   : kV3LaterValues + 8 * (column - kV3RangeColumn - 1);
}

// The value slot of a plain value column of device type `code` (versions 4 and 5): a type with
// a range column gives that column two slots, so the columns after it move one slot on.
inline int valueSlot(int code, int column)
{
    const DeviceType* type = findDeviceType(code);
    if (type && type->rangeColumn > 0 && column > type->rangeColumn)
        return column;
    return column - 1;
}

// A number of the record bytes, which lie at any alignment.
template <class T>
T load(const char* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A short text field: a length byte, then up to maxLen characters.
inline std::string_view shortText(const char* field, int maxLen)
{
    const int len = std::min<int>(static_cast<unsigned char>(field[0]), maxLen);
    return {field + 1, static_cast<std::size_t>(len)};
}

}  // namespace veltris::record

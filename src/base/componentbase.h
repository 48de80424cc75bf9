#pragma once
// The open component base in memory: header, device type, column map, view mask, second-table
// column count and the main table of cell texts (Windows-1251 bytes, exactly as in the file).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/devicetype.h"
#include "base/table.h"

namespace veltris {

class Catalogue;

constexpr int kHeaderSize = 167;
constexpr int kDescriptionOffset = 62;
constexpr int kMaxDescription = 104;
constexpr int kRecordSize = 288;  // a record of format versions 4 and 5
using BaseHeader = std::array<std::uint8_t, kHeaderSize>;

// The header of a new base: banner, version 5, description "Сделано Tarsenvolde.".
const BaseHeader& defaultBaseHeader();

struct ComponentBase {
    BaseHeader header = defaultBaseHeader();
    std::uint16_t deviceType = 1;
    std::array<std::uint8_t, kMaxParamColumns> columnMap{};  // entry c-1 for column c
    std::int32_t secondColumnCount = 2;
    std::array<std::uint8_t, kMaxParamColumns> viewMask{};  // entry k-1 for second-table column k
    Table table;  // row 0 titles (cell (0,0) the device label), column 0 names
    // The record bytes of a type without a record layout, kept unread and written back unchanged.
    std::string keptRecords;
    // Bytes after the last whole record (a record cut short): not read, and gone after a save.
    std::size_t unreadTailBytes = 0;

    std::string description() const;               // Windows-1251 bytes
    void setDescription(std::string_view cp1251);  // cut to 104 bytes

    int recordCount() const { return table.rowCount() > 0 ? table.rowCount() - 1 : 0; }
    // Whole records among the kept bytes.
    std::size_t keptRecordCount() const { return keptRecords.size() / kRecordSize; }

    // Column titles 1..C from the catalogue through the column map; an entry outside the
    // name count (0 or above 15 included) gives an empty title.
    void applyTitles(const Catalogue& catalogue);
};

// An empty bipolar base as start-up and New leave it: 31 columns, the title row and one blank
// row, column map all 1, view mask all 0, second-table column count 2, default header.
ComponentBase makeEmptyBase(const Catalogue& catalogue, std::string_view deviceLabel);

}  // namespace veltris

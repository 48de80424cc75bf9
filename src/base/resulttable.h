#pragma once
// A table of results as it goes out to a spreadsheet or a CSV file: column titles and rows of
// cells, each a text and, where the cell is a plain number, that number.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltris {

struct ResultCell {
    std::string text;              // UTF-8, what the cell shows
    std::optional<double> number;  // the same as a number, where the text is a plain one
};

struct ResultTable {
    std::vector<std::string> titles;  // UTF-8
    std::vector<std::vector<ResultCell>> rows;
    int frozenColumns = 0;  // columns kept in view when scrolling sideways
};

// The table as CSV: UTF-8 with the byte-order mark (spreadsheets then read the Cyrillic right),
// `separator` between fields, a field quoted when it holds the separator, a quote or a line
// break, lines ending in CR LF.
std::string resultTableCsv(const ResultTable& table, char separator = ';');

// The table as tab-separated lines for a terminal: control characters become blanks.
std::string resultTableTsv(const ResultTable& table);

}  // namespace veltris

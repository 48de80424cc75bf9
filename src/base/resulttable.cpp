#include "base/resulttable.h"

namespace veltris {

namespace {

void csvField(std::string& out, std::string_view text, char separator)
{
    if (text.find_first_of(std::string{separator, '"', '\n', '\r'}) == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void tsvField(std::string& out, std::string_view text)
{
    for (const char c : text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
}

}  // namespace

std::string resultTableCsv(const ResultTable& table, char separator)
{
    std::string out = "\xEF\xBB\xBF";
    for (std::size_t c = 0; c < table.titles.size(); ++c) {
        if (c > 0)
            out += separator;
        csvField(out, table.titles[c], separator);
    }
    out += "\r\n";
    for (const auto& row : table.rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                out += separator;
            csvField(out, row[c].text, separator);
        }
        out += "\r\n";
    }
    return out;
}

std::string resultTableTsv(const ResultTable& table)
{
    std::string out;
    for (std::size_t c = 0; c < table.titles.size(); ++c) {
        if (c > 0)
            out += '\t';
        tsvField(out, table.titles[c]);
    }
    out += '\n';
    for (const auto& row : table.rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                out += '\t';
            tsvField(out, row[c].text);
        }
        out += '\n';
    }
    return out;
}

}  // namespace veltris

#include "base/tableworkbook.h"

#include <charconv>
#include <optional>

#include "base/cp1251.h"
#include "base/fileio.h"
#include "base/xlsxwrite.h"

namespace veltris {

namespace {

// The number a cell's text is, when it is nothing but one: digits with at most one decimal
// comma (or point) and a leading minus.
std::optional<double> plainNumber(std::string_view text)
{
    if (text.empty() || text.size() > 30)
        return std::nullopt;
    std::string s(text);
    int marks = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char& c = s[i];
        if (c == ',' || c == '.') {
            c = '.';
            ++marks;
        } else if (!(c >= '0' && c <= '9') && !(c == '-' && i == 0)) {
            return std::nullopt;
        }
    }
    if (marks > 1 || s == "-" || s.front() == '.' || s.back() == '.')
        return std::nullopt;
    double v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size())
        return std::nullopt;
    return v;
}

// A title's '|' breaks as line breaks; a hyphen before one joins the word halves.
std::string workbookTitle(std::string_view cp1251)
{
    std::string out;
    for (std::size_t i = 0; i < cp1251.size(); ++i) {
        if (cp1251[i] == '-' && i + 1 < cp1251.size() && cp1251[i + 1] == '|') {
            ++i;
            continue;
        }
        out += cp1251[i] == '|' ? '\n' : cp1251[i];
    }
    return cp1251ToUtf8(out);
}

}  // namespace

ResultTable tableForWorkbook(const Table& table)
{
    ResultTable out;
    out.frozenColumns = 1;
    const int columns = table.columnCount();
    for (int c = 0; c < columns; ++c)
        out.titles.push_back(workbookTitle(table.cell(0, c)));
    out.rows.reserve(static_cast<std::size_t>(std::max(table.rowCount() - 1, 0)));
    std::string text;
    for (int r = 1; r < table.rowCount(); ++r) {
        std::vector<ResultCell>& row = out.rows.emplace_back();
        row.reserve(static_cast<std::size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            text.clear();
            table.appendCell(r, c, text);
            ResultCell& cell = row.emplace_back();
            if (text == "0")
                continue;  // an absent value, empty as in the CSV export
            if (c > 0)
                cell.number = plainNumber(text);
            cell.text = cp1251ToUtf8(text);
        }
    }
    return out;
}

Status writeTableXlsx(const Table& table, const std::filesystem::path& path)
{
    auto bytes = xlsxBytes(tableForWorkbook(table), "База");
    if (!bytes)
        return Error{ErrorKind::WriteFailed, "Ошибка записи в файл", bytes.error().reason};
    return writeFileAtomic(path, *bytes, "Ошибка записи в файл");
}

}  // namespace veltris

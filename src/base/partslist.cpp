#include "base/partslist.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "base/cp1251.h"
#include "base/designators.h"

namespace veltris {

namespace {

constexpr int kTitleSearchRows = 30;

enum Role {
    kDesignator,
    kName,
    kQuantity,
    kNote,
    kRoles
};

// A title as compared: Windows-1251 upper case, without blanks, dots, hyphens, '|' and '№'.
std::string titleForm(std::string_view utf8)
{
    std::string out;
    for (const char c : utf8ToCp1251(utf8)) {
        if (c == ' ' || c == '\t' || c == '.' || c == '-' || c == '|' || c == '\xB9' || c == '_' ||
            c == '\n' || c == '\r')
            continue;
        out += cp1251ToUpper(c);
    }
    return out;
}

// The role a title names, by the order of preference among titles of the same role (lower is
// better), or -1.
struct TitleHit {
    int role = -1;
    int rank = 0;
};

TitleHit titleRole(std::string_view utf8)
{
    static const std::array<std::vector<std::string>, kRoles> titles = [] {
        const auto forms = [](std::initializer_list<const char*> list) {
            std::vector<std::string> v;
            for (const char* t : list)
                v.push_back(titleForm(t));
            return v;
        };
        return std::array<std::vector<std::string>, kRoles>{
            forms({"Поз. обозначение", "Позиционное обозначение", "Поз. обозн.", "Поз.", "Позиция",
                   "Обозначение позиционное", "Designator", "Designators", "RefDes", "Reference",
                   "References", "Ref", "Part reference"}),
            forms({"Наименование", "Наименование элемента", "Наим.", "Тип", "Name", "Part name",
                   "Part number", "Part", "Value", "Comment", "Description"}),
            forms({"Кол.", "Кол-во", "Количество", "Qty", "Quantity", "Count"}),
            forms({"Примечание", "Прим.", "Note", "Notes", "Remark", "Remarks"}),
        };
    }();
    const std::string form = titleForm(utf8);
    if (form.empty())
        return {};
    for (int role = 0; role < kRoles; ++role) {
        const auto& list = titles[static_cast<std::size_t>(role)];
        const auto it = std::find(list.begin(), list.end(), form);
        if (it != list.end())
            return {role, static_cast<int>(it - list.begin())};
    }
    return {};
}

// The columns the titles of a row name; the best-ranked title of each role.
PartsColumns columnsOfTitles(const std::vector<std::string>& cells)
{
    std::array<int, kRoles> column{-1, -1, -1, -1};
    std::array<int, kRoles> rank{};
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const TitleHit hit = titleRole(cells[c]);
        if (hit.role < 0)
            continue;
        const auto r = static_cast<std::size_t>(hit.role);
        if (column[r] < 0 || hit.rank < rank[r]) {
            column[r] = static_cast<int>(c);
            rank[r] = hit.rank;
        }
    }
    PartsColumns out;
    out.designator = column[kDesignator];
    out.name = column[kName];
    out.quantity = column[kQuantity];
    out.note = column[kNote];
    return out;
}

int roleCount(const PartsColumns& c)
{
    return (c.designator >= 0) + (c.name >= 0) + (c.quantity >= 0) + (c.note >= 0);
}

bool hasDigit(std::string_view s)
{
    return s.find_first_of("0123456789") != std::string_view::npos;
}

bool hasLetter(std::string_view s)
{
    for (const char c : s)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0xC0)
            return true;
    return false;
}

std::optional<int> wholeNumber(std::string_view s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '.'))
        s.remove_suffix(1);
    // «2 шт», «2 шт.»
    const auto blank = s.find(' ');
    if (blank != std::string_view::npos) {
        const std::string rest = titleForm(s.substr(blank + 1));
        if (rest != titleForm("шт"))
            return std::nullopt;
        s = s.substr(0, blank);
    }
    int v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || p != s.data() + s.size() || v < 0)
        return std::nullopt;
    return v;
}

const std::string& cellAt(const SheetRow& row, int c)
{
    static const std::string none;
    return c >= 0 && static_cast<std::size_t>(c) < row.cells.size() ? row.cells[static_cast<std::size_t>(c)]
                                                                    : none;
}

bool looksLikeDesignators(std::string_view s)
{
    if (s.empty() || !hasDigit(s))
        return false;
    const char c = s.front();
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
        return false;
    return countDesignators(s).understood && s.size() < 200;
}

// Columns of a sheet without titles, from what the cells hold.
PartsColumns columnsByContents(const Sheet& sheet)
{
    std::size_t width = 0;
    for (const SheetRow& r : sheet.rows)
        width = std::max(width, r.cells.size());
    PartsColumns out;
    if (width <= 1) {
        out.name = 0;
        return out;
    }
    std::vector<int> designators(width), numbers(width), named(width);
    std::vector<std::size_t> length(width);
    for (const SheetRow& r : sheet.rows) {
        for (std::size_t c = 0; c < r.cells.size(); ++c) {
            const std::string& s = r.cells[c];
            designators[c] += looksLikeDesignators(s);
            numbers[c] += wholeNumber(s).has_value();
            named[c] += hasDigit(s) && hasLetter(s);
            length[c] += s.size();
        }
    }
    const auto best = [&](const std::vector<int>& score, int except1, int except2) {
        int chosen = -1;
        for (std::size_t c = 0; c < width; ++c) {
            const int ci = static_cast<int>(c);
            if (ci == except1 || ci == except2 || score[c] * 2 < static_cast<int>(sheet.rows.size()))
                continue;
            if (chosen < 0 || score[c] > score[static_cast<std::size_t>(chosen)])
                chosen = ci;
        }
        return chosen;
    };
    out.designator = best(designators, -1, -1);
    out.quantity = best(numbers, out.designator, -1);
    for (std::size_t c = 0; c < width; ++c) {
        const int ci = static_cast<int>(c);
        if (ci == out.designator || ci == out.quantity || named[c] == 0)
            continue;
        if (out.name < 0 || named[c] > named[static_cast<std::size_t>(out.name)] ||
            (named[c] == named[static_cast<std::size_t>(out.name)] &&
             length[c] > length[static_cast<std::size_t>(out.name)]))
            out.name = ci;
    }
    return out;
}

}  // namespace

int partsTitleRoles(const std::vector<std::string>& cells)
{
    return roleCount(columnsOfTitles(cells));
}

PartsColumns findPartsColumns(const Sheet& sheet)
{
    PartsColumns best;
    const int rows = std::min<int>(kTitleSearchRows, static_cast<int>(sheet.rows.size()));
    for (int r = 0; r < rows; ++r) {
        PartsColumns c = columnsOfTitles(sheet.rows[static_cast<std::size_t>(r)].cells);
        if (c.name < 0)
            continue;
        c.titleRow = r;
        if (best.titleRow < 0 || roleCount(c) > roleCount(best))
            best = c;
    }
    return best.titleRow >= 0 ? best : columnsByContents(sheet);
}

Result<PartsList> readPartsList(const Sheet& sheet, const PartsColumns& columns)
{
    if (columns.name < 0)
        return Error{ErrorKind::Generic, "Не найден столбец наименований («Наименование»): укажите его"};
    PartsList list;
    list.columns = columns;
    if (columns.titleRow >= 0 && static_cast<std::size_t>(columns.titleRow) < sheet.rows.size())
        list.titles = sheet.rows[static_cast<std::size_t>(columns.titleRow)].cells;
    const bool counted = columns.designator >= 0 || columns.quantity >= 0;
    for (std::size_t r = static_cast<std::size_t>(std::max(columns.titleRow + 1, 0)); r < sheet.rows.size();
         ++r) {
        const SheetRow& row = sheet.rows[r];
        PartsLine line;
        line.line = row.line;
        line.text = cellAt(row, columns.name);
        line.designators = cellAt(row, columns.designator);
        line.quantityText = cellAt(row, columns.quantity);
        line.note = cellAt(row, columns.note);
        if (line.text.empty()) {
            if (!line.designators.empty() || !line.quantityText.empty())
                list.skippedRows.push_back(row.line);
            continue;
        }
        const bool part =
            counted ? !line.designators.empty() || !line.quantityText.empty() : hasDigit(line.text);
        if (!part) {
            list.skippedRows.push_back(row.line);
            continue;
        }
        line.designatorCount = countDesignators(line.designators).count;
        line.quantity = wholeNumber(line.quantityText);
        if (!line.quantity && line.quantityText.empty() && line.designatorCount > 0)
            line.quantity = line.designatorCount;
        list.lines.push_back(std::move(line));
    }
    return list;
}

}  // namespace veltris

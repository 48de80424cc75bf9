#include "base/sheet.h"

#include <algorithm>
#include <map>

#include "base/cp1251.h"
#include "base/csvimport.h"
#include "base/csvsplit.h"

namespace veltris {

namespace {

constexpr int kJudgedRows = 30;

bool blankText(std::string_view s)
{
    return s.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string trimmed(std::string_view s)
{
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

std::string asUtf8(std::string_view text, CsvEncoding encoding)
{
    return encoding == CsvEncoding::Utf8 ? std::string(text) : cp1251ToUtf8(text);
}

Sheet split(std::string_view text, char separator, CsvEncoding encoding, int maxRows = -1)
{
    Sheet sheet;
    if (separator == '\n') {
        int line = 1;
        std::size_t i = 0;
        while (i <= text.size() && (maxRows < 0 || static_cast<int>(sheet.rows.size()) < maxRows)) {
            std::size_t end = text.find_first_of("\r\n", i);
            if (end == std::string_view::npos)
                end = text.size();
            const std::string_view l = text.substr(i, end - i);
            if (!blankText(l))
                sheet.rows.push_back({line, {trimmed(asUtf8(l, encoding))}, {}});
            if (end >= text.size())
                break;
            i = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
            ++line;
        }
        return sheet;
    }
    CsvSplitter splitter(text, separator);
    CsvRecord record;
    while ((maxRows < 0 || static_cast<int>(sheet.rows.size()) < maxRows) && splitter.next(record)) {
        SheetRow row;
        row.line = record.line;
        bool any = false;
        for (std::string_view f : record.fields) {
            row.cells.push_back(trimmed(asUtf8(f, encoding)));
            any = any || !row.cells.back().empty();
        }
        if (any)
            sheet.rows.push_back(std::move(row));
    }
    return sheet;
}

// The share of rows with the commonest field count, when that count is above one.
double alike(const Sheet& sheet)
{
    std::map<std::size_t, int> counts;
    for (const SheetRow& r : sheet.rows)
        ++counts[r.cells.size()];
    int best = 0;
    for (const auto& [n, k] : counts)
        if (n > 1)
            best = std::max(best, k);
    return sheet.rows.empty() ? 0.0 : static_cast<double>(best) / static_cast<double>(sheet.rows.size());
}

std::string dialectText(CsvEncoding encoding, bool bom, char separator)
{
    std::string s = encodingName(encoding);
    if (bom)
        s += " (с меткой порядка байтов)";
    if (separator == '\n')
        return s + ", одно имя в строке";
    return s + ", разделитель " + separatorName(separator);
}

}  // namespace

Result<Sheet> readTextSheet(std::string_view bytes, char separator)
{
    const CsvEncoding encoding = detectCsvEncoding(bytes);
    const bool bom = hasUtf8Bom(bytes);
    const std::string_view text = withoutUtf8Bom(bytes);
    Sheet sheet = split(text, separator, encoding);
    if (sheet.rows.empty())
        return Error{ErrorKind::Generic, "В списке нет ни одной строки"};
    sheet.dialect = dialectText(encoding, bom, separator);
    return sheet;
}

Result<Sheet> readTextSheet(std::string_view bytes, TitleRoles roles)
{
    const CsvEncoding encoding = detectCsvEncoding(bytes);
    const std::string_view text = withoutUtf8Bom(bytes);
    char chosen = '\n';
    int bestRoles = 0;
    for (const char sep : {';', '\t', ','}) {
        const Sheet head = split(text, sep, encoding, kJudgedRows);
        for (const SheetRow& r : head.rows) {
            const int n = roles ? roles(r.cells) : 0;
            if (n > bestRoles) {
                bestRoles = n;
                chosen = sep;
            }
        }
    }
    if (bestRoles == 0) {
        for (const char sep : {'\t', ';', ','}) {
            const double share = alike(split(text, sep, encoding, kJudgedRows));
            if (share >= (sep == ',' ? 0.8 : 0.5)) {
                chosen = sep;
                break;
            }
        }
    }
    return readTextSheet(bytes, chosen);
}

}  // namespace veltris

#include "base/partslisttable.h"

#include <filesystem>

#include "base/cp1251.h"
#include "base/substitute/verdicttext.h"

namespace veltris {

namespace {

std::string fileNameOnly(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

ResultCell textCell(std::string text)
{
    return {std::move(text), std::nullopt};
}

}  // namespace

const char* nameStatusCaption(NameStatus status)
{
    switch (status) {
    case NameStatus::Found: return "найден";
    case NameStatus::NotFound: return "не найден";
    case NameStatus::Ambiguous: return "неоднозначно";
    }
    return "";
}

const char* nameStatusKeyword(NameStatus status)
{
    switch (status) {
    case NameStatus::Found: return "found";
    case NameStatus::NotFound: return "not_found";
    case NameStatus::Ambiguous: return "ambiguous";
    }
    return "";
}

ResultTable partsListTable(const PartsListResult& result, const LibraryFiles& library,
                           const PartNameIndex& names, std::size_t replacements)
{
    ResultTable table;
    table.titles = {"Строка", "Поз. обозначение", "Кол.", "Наименование", "Компонент", "Где найден"};
    for (std::size_t i = 1; i <= replacements; ++i) {
        table.titles.push_back("Замена " + std::to_string(i));
        table.titles.push_back("Итог " + std::to_string(i));
    }
    table.frozenColumns = 4;
    table.rows.reserve(result.lines.size());
    for (const PartsLineResult& r : result.lines) {
        std::vector<ResultCell>& row = table.rows.emplace_back();
        row.push_back({std::to_string(r.line.line), static_cast<double>(r.line.line)});
        row.push_back(textCell(r.line.designators));
        if (r.line.quantity)
            row.push_back({std::to_string(*r.line.quantity), static_cast<double>(*r.line.quantity)});
        else
            row.push_back(textCell(r.line.quantityText));
        row.push_back(textCell(r.line.text));
        std::string part;
        std::string where;
        switch (r.name.status) {
        case NameStatus::Found:
            part = cp1251ToUtf8(r.partName);
            where = fileNameOnly(library.files[static_cast<std::size_t>(r.file)].fileName) + ", запись " +
                    std::to_string(r.row + 1);
            break;
        case NameStatus::NotFound: part = nameStatusCaption(r.name.status); break;
        case NameStatus::Ambiguous:
            part = std::string(nameStatusCaption(r.name.status)) + ":";
            for (std::size_t k = 0; k < r.name.entries.size(); ++k)
                part += (k ? ", " : " ") + cp1251ToUtf8(names.name(r.name.entries[k]));
            break;
        }
        row.push_back(textCell(std::move(part)));
        row.push_back(textCell(std::move(where)));
        const std::string ownFile =
            r.file >= 0 ? library.files[static_cast<std::size_t>(r.file)].fileName : "";
        for (std::size_t i = 0; i < replacements; ++i) {
            if (i == 0 && r.problem) {
                row.push_back(textCell({}));
                row.push_back(textCell(r.problem->message));
                continue;
            }
            if (!r.query || i >= r.report.matches.size()) {
                row.push_back(textCell({}));
                row.push_back(textCell({}));
                continue;
            }
            const FinderMatch& m = r.report.matches[i];
            const std::string& base = r.report.baseFiles[static_cast<std::size_t>(m.base)];
            std::string name = cp1251ToUtf8(m.name);
            if (base != ownFile)
                name += " (" + fileNameOnly(base) + ")";
            row.push_back(textCell(std::move(name)));
            row.push_back(textCell(matchVerdictText(*r.query, m, result.titlesOf(r.file))));
        }
    }
    return table;
}

}  // namespace veltris

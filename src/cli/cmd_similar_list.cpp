// qdb similar --list: replacements for every line of a parts list.
#include <iostream>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/fileio.h"
#include "base/navigatorcatalogue.h"
#include "base/partslisttable.h"
#include "base/sheet.h"
#include "base/substitute/verdicttext.h"
#include "cli/commands.h"
#include "cli/finderjson.h"
#include "cli/output.h"
#include "cli/partslistread.h"
#include "cli/similaroptions.h"

namespace qdb {

namespace {

using namespace veltris;

constexpr std::uint64_t kListFileLimit = std::uint64_t{64} << 20;

std::string jsonLines(const PartsListResult& result, const LibraryFiles& library, const PartNameIndex& names)
{
    std::string out = "{\"lines\":[";
    for (std::size_t k = 0; k < result.lines.size(); ++k) {
        const PartsLineResult& r = result.lines[k];
        out += k ? ",\n" : "\n";
        out += "{\"line\":" + std::to_string(r.line.line) +
               ",\"designators\":" + jsonString(r.line.designators) +
               ",\"designator_count\":" + std::to_string(r.line.designatorCount) +
               ",\"quantity\":" + (r.line.quantity ? std::to_string(*r.line.quantity) : std::string("null")) +
               ",\"text\":" + jsonString(r.line.text) + ",\"status\":\"" + nameStatusKeyword(r.name.status) +
               "\"";
        if (r.name.status == NameStatus::Found) {
            out += ",\"part\":{\"name\":" + jsonString(cp1251ToUtf8(r.partName)) + ",\"base\":" +
                   jsonString(validUtf8(library.files[static_cast<std::size_t>(r.file)].fileName)) +
                   ",\"row\":" + std::to_string(r.row + 1) + "}";
        }
        if (r.name.status == NameStatus::Ambiguous) {
            out += ",\"candidates\":[";
            for (std::size_t c = 0; c < r.name.entries.size(); ++c)
                out += (c ? "," : "") + jsonString(cp1251ToUtf8(names.name(r.name.entries[c])));
            out += "]";
        }
        if (r.problem)
            out += ",\"problem\":" + jsonString(r.problem->message);
        if (r.query)
            out += ",\"full\":" + std::to_string(r.report.fullCount) +
                   ",\"near\":" + std::to_string(r.report.nearCount);
        out += ",\"matches\":[";
        if (r.query)
            for (std::size_t m = 0; m < r.report.matches.size(); ++m)
                out += (m ? "," : "") + matchJson(r.report, *r.query, result.titlesOf(r.file), m);
        out += "]}";
    }
    out += "\n]}\n";
    return out;
}

// Writes the output to -o (whole or not at all) or standard output.
int emit(const SimilarOptions& o, const std::string& bytes)
{
    if (o.output.empty()) {
        writeOut(bytes);
        return 0;
    }
    const Status written = writeFileAtomic(o.output, bytes);
    if (!written) {
        printError(writeErrorText(written.error(), o.output));
        return 1;
    }
    return 0;
}

}  // namespace

void addListOptions(CLI::App* sub, SimilarOptions& o)
{
    sub->add_option("--list", o.listFile,
                    "Перечень элементов (CSV, TSV, XLSX или текст — одно имя в строке): замены для "
                    "каждой строки; компоненты ищутся в БАЗЕ и в папках --library")
        ->type_name("ФАЙЛ")
        ->check(existingFile());
    sub->add_option("-o,--output", o.output, "С --list: записать результат в этот файл")->type_name("ФАЙЛ");
    sub->add_option("--within", o.within,
                    "С --list: искать замены только в этих папках или базах (что есть под рукой)")
        ->type_name("ПУТЬ")
        ->allow_extra_args(false);
    sub->add_flag("--own-base", o.ownBase, "С --list: искать замены только в базе самого компонента");
    sub->add_option("--sheet", o.sheet, "С --list: лист книги XLSX — имя или номер (по умолчанию первый)")
        ->type_name("ЛИСТ");
    const auto column = [&](const char* name, int& value, const char* what) {
        sub->add_option(name, value, what)->type_name("ЧИСЛО")->check(wholeNumber(0, 10000));
    };
    column("--title-row", o.titleRow, "С --list: строка заголовка (с 1; 0 — заголовка нет)");
    column("--name-column", o.nameColumn, "С --list: столбец наименований (с 1)");
    column("--designator-column", o.designatorColumn, "С --list: столбец позиционных обозначений (0 — нет)");
    column("--quantity-column", o.quantityColumn, "С --list: столбец количества (0 — нет)");
    column("--note-column", o.noteColumn, "С --list: столбец примечаний (0 — нет)");
}

int runSimilarList(const SimilarOptions& o)
{
    if (o.format != "table" && o.format != "tsv" && o.format != "csv" && o.format != "json" &&
        o.format != "xlsx") {
        printError("--format «" + o.format + "»: с --list допустимы table, csv, json и xlsx");
        return 1;
    }
    if (!o.like.empty() || !o.rules.empty()) {
        printError("--like и --rule не действуют вместе с --list: образцы — строки перечня");
        return 1;
    }
    if (o.format == "xlsx" && o.output.empty()) {
        printError("для --format xlsx укажите файл: -o ФАЙЛ");
        return 1;
    }
    if (o.baseFile.empty() && o.libraries.empty()) {
        printError("укажите, где искать компоненты: БАЗА или --library ПАПКА");
        return 1;
    }
    if (o.ownBase && !o.within.empty()) {
        printError("--own-base и --within исключают друг друга");
        return 1;
    }
    if (o.nearMisses < 0) {
        printError("--near не может быть отрицательным");
        return 1;
    }

    // The list first: a list that cannot be read is the one failure of this command.
    auto list = readPartsListFile(o, kListFileLimit);
    if (!list)
        return 1;

    const std::filesystem::path dataDir = o.dataDir.folder();
    const CatalogueLoad catalogues = loadCatalogues(dataDir);
    LibraryFiles library;
    if (!o.baseFile.empty()) {
        const Status added = addLibraryFile(library, o.baseFile, catalogues.catalogue);
        if (!added)
            printError(added.error().message);
    }
    NavigatorCatalogue navigator;
    for (const std::string& dir : o.libraries)
        for (const Error& e : navigator.addFolder(dir))
            printError(e.message);
    LibraryFiles fromFolders = readLibraryFiles(navigator, catalogues.catalogue);
    for (const Error& e : fromFolders.problems)
        printError(e.message);
    for (LibraryFile& f : fromFolders.files) {
        bool again = false;
        for (const LibraryFile& g : library.files)
            again = again || g.identity.sameFile(f.identity);
        if (!again)
            library.files.push_back(std::move(f));
    }

    LibraryFiles chosen;
    if (!o.within.empty()) {
        NavigatorCatalogue shelf;
        std::vector<std::string> baseFiles;
        for (const std::string& path : o.within) {
            std::error_code ec;
            if (std::filesystem::is_directory(path, ec)) {
                for (const Error& e : shelf.addFolder(path))
                    printError(e.message);
            } else {
                baseFiles.push_back(path);
            }
        }
        for (const std::string& path : baseFiles) {
            const Status added = addLibraryFile(chosen, path, catalogues.catalogue);
            if (!added)
                printError(added.error().message);
        }
        LibraryFiles folders = readLibraryFiles(shelf, catalogues.catalogue);
        for (const Error& e : folders.problems)
            printError(e.message);
        for (LibraryFile& f : folders.files)
            chosen.files.push_back(std::move(f));
    }

    // The rules file is read once here, so that a damaged one stops the command with its message.
    if (!defaultAndUserRules(o, dataDir, 1))
        return 1;
    std::map<int, RuleSet> rules;
    PartsListSearchOptions options;
    options.scope = o.ownBase          ? ReplacementScope::OwnBase
                    : o.within.empty() ? ReplacementScope::Library
                                       : ReplacementScope::Chosen;
    options.chosen = &chosen;
    options.top = static_cast<std::size_t>(o.top);
    options.nearMisses = o.nearMisses;
    options.unknownFails = o.strict;
    options.rules = [&](int type) {
        auto it = rules.find(type);
        if (it == rules.end()) {
            auto gathered = defaultAndUserRules(o, dataDir, type);
            it = rules.emplace(type, gathered ? std::move(*gathered) : RuleSet{}).first;
        }
        return it->second;
    };

    const PartNameIndex names(library, catalogues.catalogue);
    const PartsListResult result = searchPartsList(*list, library, names, catalogues.catalogue, options);

    std::size_t found = 0;
    std::size_t missing = 0;
    std::size_t ambiguous = 0;
    for (const PartsLineResult& r : result.lines)
        ++(r.name.status == NameStatus::Found      ? found
           : r.name.status == NameStatus::NotFound ? missing
                                                   : ambiguous);
    printRaw("Строк перечня: " + std::to_string(result.lines.size()) + ", найдено: " + std::to_string(found) +
             ", не найдено: " + std::to_string(missing) + ", неоднозначно: " + std::to_string(ambiguous) +
             "\n");

    const std::size_t shown = o.top > 0 ? static_cast<std::size_t>(o.top) : [&] {
        std::size_t most = 0;
        for (const PartsLineResult& r : result.lines)
            most = std::max(most, r.report.matches.size());
        return most;
    }();
    if (o.format == "json")
        return emit(o, jsonLines(result, library, names));
    const ResultTable table = partsListTable(result, library, names, shown);
    if (o.format == "csv")
        return emit(o, resultTableCsv(table));
    if (o.format == "xlsx")
        return writeXlsxOutput(o, table);
    return emit(o, resultTableTsv(table));
}

}  // namespace qdb

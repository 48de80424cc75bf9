// qdb similar: the substitute finder from the command line.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/cp1251.h"
#include "base/finder.h"
#include "base/ini.h"
#include "base/navigatorcatalogue.h"
#include "base/textparse.h"
#include "cli/baseload.h"
#include "cli/commands.h"
#include "cli/finderjson.h"
#include "cli/options.h"
#include "cli/similaroptions.h"

namespace qdb {

namespace {

using namespace veltris;

// A column title on one line, UTF-8.
std::string titleOf(const ComponentBase& base, int column)
{
    std::string t = cp1251ToUtf8(base.table.cell(0, column));
    for (char& c : t)
        c = c == '|' ? ' ' : c;
    return t.empty() ? "столбец " + std::to_string(column) : t;
}

const char* verdictMark(Verdict v)
{
    switch (v) {
    case Verdict::Pass: return "+";
    case Verdict::Fail: return "-";
    case Verdict::Unknown: return "?";
    case Verdict::NotGuaranteed: return "!";
    }
    return "?";
}

// Titles of the reference base's columns as the title row holds them, by column.
std::vector<std::string> columnTitles(const ComponentBase& base)
{
    std::vector<std::string> titles;
    titles.reserve(static_cast<std::size_t>(base.table.columnCount()));
    for (int c = 0; c < base.table.columnCount(); ++c)
        titles.push_back(base.table.cell(0, c));
    return titles;
}

std::string tsvReport(const FinderReport& report, const FinderQuery& query, const ComponentBase& base)
{
    const std::vector<std::string> titles = columnTitles(base);
    std::string out = "№\tИмя\tБаза\tИтог\tОтклонение";
    for (const ActiveRule& a : query.rules)
        out += "\t" + tsvField(titleOf(base, a.column)) + " (" + ruleLabel(a.rule) + ")";
    out += '\n';
    int rank = 0;
    for (const FinderMatch& m : report.matches) {
        out += std::to_string(++rank) + '\t' + tsvField(cp1251ToUtf8(m.name)) + '\t' +
               tsvField(validUtf8(report.baseFiles[static_cast<std::size_t>(m.base)])) + '\t' +
               matchVerdictText(query, m, titles) + '\t' + numberText(m.distance, ',');
        for (std::size_t j = 0; j < query.rules.size(); ++j) {
            const std::string text = tsvField(cp1251ToUtf8(m.texts[j]));
            out += '\t';
            out += verdictMark(m.verdict(j));
            out += ' ';
            out += text.empty() ? "—" : text;
        }
        out += '\n';
    }
    return out;
}

std::string jsonReport(const FinderReport& report, const FinderQuery& query, const ComponentBase& base,
                       std::string_view baseFile)
{
    const std::vector<std::string> titles = columnTitles(base);
    std::string out = "{\"reference\":{\"name\":" + jsonString(cp1251ToUtf8(query.referenceName)) +
                      ",\"base\":" + jsonString(validUtf8(baseFile)) +
                      ",\"row\":" + std::to_string(query.referenceRow + 1) + ",\"package\":" +
                      (query.packageColumn > 0 ? jsonNumber(query.referencePackage) : "null") +
                      "},\"strict\":" + (query.unknownFails ? "true" : "false") + ",\"rules\":[";
    for (std::size_t j = 0; j < query.rules.size(); ++j) {
        const ActiveRule& a = query.rules[j];
        const SubstituteRule& r = a.rule;
        out += (j ? "," : "");
        out += "{\"column\":" + std::to_string(a.column) +
               ",\"title\":" + jsonString(titleOf(base, a.column)) +
               ",\"rule\":" + jsonString(ruleKindText(r)) +
               ",\"options\":" + jsonString(ruleOptionsLabel(r.options)) +
               ",\"required\":" + (r.options.required ? "true" : "false") +
               ",\"label\":" + jsonString(ruleLabel(r)) + ",\"gate\":" + (a.gate() ? "true" : "false") +
               ",\"tolerance\":" +
               (r.kind == RuleKind::AtLeast  ? std::to_string(r.minusPercent)
                : r.kind == RuleKind::AtMost ? std::to_string(r.plusPercent)
                                             : std::string("null")) +
               ",\"minus\":" + std::to_string(r.minusPercent) + ",\"plus\":" + std::to_string(r.plusPercent) +
               "}";
    }
    out += "],\"full\":" + std::to_string(report.fullCount) +
           ",\"near\":" + std::to_string(report.nearCount) + ",\"matches\":[";
    for (std::size_t k = 0; k < report.matches.size(); ++k) {
        out += (k ? ",\n" : "\n");
        out += matchJson(report, query, titles, k);
    }
    out += "\n]}\n";
    return out;
}

}  // namespace

std::optional<RuleSet> defaultAndUserRules(const SimilarOptions& o, const std::filesystem::path& dataDir,
                                           int deviceType)
{
    auto defaults = SubstituteDefaults::load(dataDir);
    if (!defaults) {
        printError(defaults.error().message);
        return std::nullopt;
    }
    RuleSet rules = defaults->rules(deviceType);
    if (!o.settingsFile.empty()) {
        // A settings file named but not readable (no access, a pipe) is an error, not no rules.
        const auto settings = IniFile::loadIfPresent(o.settingsFile);
        if (!settings) {
            printError("--settings: " + settings.error().message);
            return std::nullopt;
        }
        rules = readUserRules(*settings, deviceType, rules);
    }
    return rules;
}

namespace {

// The rules: the shipped defaults, the user's rules from a settings file, then --rule.
std::optional<RuleSet> gatherRules(const SimilarOptions& o, const std::filesystem::path& dataDir,
                                   const ComponentBase& base)
{
    auto gathered = defaultAndUserRules(o, dataDir, base.deviceType);
    if (!gathered)
        return std::nullopt;
    RuleSet rules = std::move(*gathered);
    const int columns = static_cast<int>(rules.size());
    for (const std::string& item : o.rules) {
        const auto eq = item.find('=');
        const auto column = parseInteger(std::string_view(item).substr(0, eq));
        if (eq == std::string::npos || !column || *column < 1 || *column > columns) {
            printError("--rule «" + item + "»: нужна запись СТОЛБЕЦ=ПРАВИЛО со столбцом от 1 до " +
                       std::to_string(columns) + ", например 2=ge");
            return std::nullopt;
        }
        auto rule = parseRuleText(item.substr(eq + 1));
        if (!rule) {
            printError("--rule «" + item + "»: " + rule.error().message);
            return std::nullopt;
        }
        if (isTextParameter(base.deviceType, *column) && rule->kind != RuleKind::Off &&
            rule->kind != RuleKind::Equal && rule->kind != RuleKind::Gate) {
            printError("--rule «" + item + "»: для столбца «" + titleOf(base, *column) +
                       "» допустимы только eq, gate и off");
            return std::nullopt;
        }
        rules[static_cast<std::size_t>(*column - 1)] = *rule;
    }
    return rules;
}

std::optional<int> pickReference(const SimilarOptions& o, const FinderSource& source)
{
    const auto nameOf = [&](int row) { return source.name(row); };
    const NamePick pick = pickByName(lookUpName(source, utf8ToCp1251(o.like)), nameOf);
    if (pick.record >= 0)
        return pick.record;
    if (pick.candidates.empty()) {
        printError("компонент «" + o.like + "» не найден в базе");
        return std::nullopt;
    }
    constexpr std::size_t kNamed = 10;
    std::string names;
    for (std::size_t k = 0; k < pick.candidates.size() && k < kNamed; ++k)
        names += (k ? ", " : "") + tsvField(cp1251ToUtf8(source.name(pick.candidates[k])));
    if (pick.candidates.size() > kNamed)
        names += " и ещё " + std::to_string(pick.candidates.size() - kNamed);
    printError("имени «" + o.like + "» соответствуют несколько компонентов: " + names + "; уточните имя");
    return std::nullopt;
}

int runSimilar(const SimilarOptions& o)
{
    if (!o.listFile.empty())
        return runSimilarList(o);
    if (o.baseFile.empty()) {
        printRaw("qdb similar: не указан файл базы (БАЗА)\nСправка: qdb similar --help\n");
        return 1;
    }
    if (o.like.empty()) {
        printRaw("qdb similar: не указан образец (--like ИМЯ)\nСправка: qdb similar --help\n");
        return 1;
    }
    if (o.format != "tsv" && o.format != "json") {
        printError("--format «" + o.format + "»: допустимы tsv и json");
        return 1;
    }
    if (!o.output.empty()) {
        printError("-o действует только вместе с --list");
        return 1;
    }
    if (o.top < 0 || o.nearMisses < 0) {
        printError("--top и --near не могут быть отрицательными");
        return 1;
    }
    const std::filesystem::path dataDir = o.dataDir.folder();
    auto loaded = loadBaseForCli(o.baseFile, dataDir, defaultDeviceLabel());
    if (!loaded) {
        printError(loaded.error().message);
        return 1;
    }
    const ComponentBase& base = *loaded;
    if (findDeviceType(base.deviceType) == nullptr) {
        printError("«" + o.baseFile + "»: тип прибора базы (" + std::to_string(base.deviceType) +
                   ") не поддерживается");
        return 1;
    }
    const auto rules = gatherRules(o, dataDir, base);
    if (!rules)
        return 1;
    // Only the ruled columns and the package are read: the source holds 17 bytes a cell it reads.
    const std::vector<int> ruled = sourceColumns(base.deviceType, *rules);
    const bool anyRule = std::any_of(rules->begin(), rules->end(),
                                     [](const SubstituteRule& r) { return r.kind != RuleKind::Off; });
    if (!anyRule) {
        printError("нет ни одного применимого правила: все правила выключены");
        return 1;
    }
    const FinderSource source = finderSourceFromBase(base, ruled);
    const auto reference = pickReference(o, source);
    if (!reference)
        return 1;
    auto query = makeQuery(source, *reference, *rules, o.nearMisses, static_cast<std::size_t>(o.top));
    if (!query) {
        printError(query.error().message);
        return 1;
    }
    query->unknownFails = o.strict;

    int exitCode = 0;
    FinderReport report;
    if (o.libraries.empty()) {
        report = findInBase(*query, base, o.baseFile, {}, true);  // every result is printed
    } else {
        NavigatorCatalogue navigator;
        for (const std::string& dir : o.libraries) {
            for (const Error& e : navigator.addFolder(dir)) {
                printError(e.message);
                exitCode = 1;
            }
        }
        const CatalogueLoad catalogues = loadCatalogues(dataDir);
        report = findInLibrary(*query, base, o.baseFile, navigator, catalogues.catalogue);
        for (const Error& e : report.problems) {
            printError(e.message);
            exitCode = 1;
        }
    }

    if (!query->unusable.empty()) {
        std::string titles;
        for (int c : query->unusable)
            titles += (titles.empty() ? "«" : ", «") + titleOf(base, c) + "»";
        std::cerr << "Не применены правила (у образца нет значения): " << titles << '\n';
    }
    std::cerr << "Образец: " << cp1251ToUtf8(query->referenceName) << " (строка " << query->referenceRow + 1
              << "). Подходят: " << report.fullCount << ", почти подходят: " << report.nearCount << '\n';

    std::cout << (o.format == "json" ? jsonReport(report, *query, base, o.baseFile)
                                     : tsvReport(report, *query, base));
    std::cout.flush();
    if (!std::cout) {
        printError("Не удалось вывести список");
        return 1;
    }
    return exitCode;
}

}  // namespace

void registerSimilar(CLI::App& app, int& exitCode)
{
    auto options = std::make_shared<SimilarOptions>();
    CLI::App* sub = app.add_subcommand(
        "similar",
        "Поиск замены: компоненты, подходящие вместо образца по правилам для каждого параметра, "
        "от лучших к худшим (+ подходит, - не подходит, ! не гарантировано, ? неизвестно)");
    sub->add_option("base", options->baseFile,
                    "Файл базы (.QDB) с образцом (с --list — ещё одна база, где искать компоненты)")
        ->type_name("БАЗА");
    sub->add_option("--like", options->like,
                    "Имя образца или его часть (регистр, пробелы и дефисы не важны; латинская "
                    "буква читается и как похожая русская, и как транслитерация)")
        ->type_name("ИМЯ");
    addListOptions(sub, *options);
    sub->add_option("--library", options->libraries,
                    "Искать во всех базах того же типа в этих папках (как навигатор)")
        ->type_name("ПАПКА")
        ->check(existingFolder())
        ->allow_extra_args(false);
    sub->add_option("--rule", options->rules,
                    "Правило столбца: ge[:P]|le[:Q]|eq|gate|band:P:Q|off (не меньше, "
                    "допуск -P %; не больше, допуск +Q %; равно; обязательно равно — иначе не "
                    "показывать; в пределах -P..+Q %; не учитывать)")
        ->type_name("СТОЛБЕЦ=ПРАВИЛО")
        ->allow_extra_args(false);
    sub->add_flag("--strict", options->strict, "Неизвестное считать несовпадением");
    sub->add_option("--top", options->top,
                    "Сколько результатов вывести (0 — все; по умолчанию 20, с --list — 3 на строку)")
        ->type_name("ЧИСЛО")
        ->check(wholeNumber(0, std::numeric_limits<int>::max()));
    sub->add_option("--near", options->nearMisses,
                    "Показывать почти подходящие с таким числом несовпадений (по умолчанию 2)")
        ->type_name("ЧИСЛО")
        ->check(wholeNumber(0, std::numeric_limits<int>::max()));
    sub->add_option("--format", options->format,
                    "Формат вывода: tsv (по умолчанию) или json; с --list — table (по умолчанию), csv, "
                    "json или xlsx")
        ->type_name("ФОРМАТ");
    options->dataDir.addTo(sub);
    sub->add_option("--settings", options->settingsFile,
                    "Файл настроек с правилами пользователя (разделы Substitute_<код>)")
        ->type_name("ФАЙЛ")
        ->check(existingFile());
    sub->callback([options, &exitCode] {
        if (options->top < 0)
            options->top = options->listFile.empty() ? 20 : 3;
        if (options->format.empty())
            options->format = options->listFile.empty() ? "tsv" : "table";
        exitCode = runSimilar(*options);
    });
}

}  // namespace qdb

// qdb similar: the substitute finder from the command line.
#include <charconv>
#include <cstdio>
#include <iostream>
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
#include "cli/baseload.h"
#include "cli/commands.h"

namespace qdb {

namespace {

using namespace veltris;

struct SimilarOptions {
    std::string catalogueDir;
    std::string settingsFile;
    std::string baseFile;
    std::string like;  // UTF-8
    std::vector<std::string> libraries;
    std::vector<std::string> rules;  // COL=RULE
    int top = 20;
    int nearMisses = 2;
    std::string format = "tsv";
};

std::optional<int> parseColumn(std::string_view s)
{
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

// A column title on one line, UTF-8.
std::string titleOf(const ComponentBase& base, int column)
{
    std::string t = cp1251ToUtf8(base.table.cell(0, column));
    for (char& c : t)
        c = c == '|' ? ' ' : c;
    return t.empty() ? "столбец " + std::to_string(column) : t;
}

std::string distanceText(double d, char point)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", d);
    std::string s = buf;
    for (char& c : s)
        c = c == '.' ? point : c;
    return s;
}

std::string jsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* verdictMark(Verdict v)
{
    return v == Verdict::Pass ? "+" : v == Verdict::Fail ? "-" : "?";
}

const char* verdictWord(Verdict v)
{
    return v == Verdict::Pass ? "pass" : v == Verdict::Fail ? "fail" : "unknown";
}

std::string ruleLabel(const ActiveRule& a)
{
    std::string s = ruleCaption(a.rule.kind);
    if (a.rule.kind == RuleKind::Band)
        s += " -" + std::to_string(a.rule.minusPercent) + "..+" +
             std::to_string(a.rule.plusPercent) + " %";
    return s;
}

std::string tsvReport(const FinderReport& report, const FinderQuery& query,
                      const ComponentBase& base)
{
    std::string out = "№\tИмя\tБаза\tИтог\tОтклонение";
    for (const ActiveRule& a : query.rules)
        out += "\t" + titleOf(base, a.column) + " (" + ruleLabel(a) + ")";
    out += '\n';
    int rank = 0;
    for (const FinderMatch& m : report.matches) {
        out += std::to_string(++rank) + '\t' + cp1251ToUtf8(m.name) + '\t' +
               report.baseFiles[static_cast<std::size_t>(m.base)] + '\t' +
               (m.fails == 0 ? std::string("подходит")
                             : "не подходит по " + std::to_string(m.fails)) +
               '\t' + distanceText(m.distance, ',');
        for (std::size_t j = 0; j < query.rules.size(); ++j) {
            const std::string text = cp1251ToUtf8(m.texts[j]);
            out += '\t';
            out += verdictMark(m.verdict(j));
            out += ' ';
            out += text.empty() ? "—" : text;
        }
        out += '\n';
    }
    return out;
}

std::string jsonReport(const FinderReport& report, const FinderQuery& query,
                       const ComponentBase& base, std::string_view baseFile)
{
    std::string out = "{\"reference\":{\"name\":" + jsonString(cp1251ToUtf8(query.referenceName)) +
                      ",\"base\":" + jsonString(baseFile) +
                      ",\"row\":" + std::to_string(query.referenceRow + 1) + "},\"rules\":[";
    for (std::size_t j = 0; j < query.rules.size(); ++j) {
        const ActiveRule& a = query.rules[j];
        out += (j ? "," : "");
        out += "{\"column\":" + std::to_string(a.column) +
               ",\"title\":" + jsonString(titleOf(base, a.column)) +
               ",\"rule\":" + jsonString(ruleText(a.rule)) + "}";
    }
    out += "],\"full\":" + std::to_string(report.fullCount) +
           ",\"near\":" + std::to_string(report.nearCount) + ",\"matches\":[";
    for (std::size_t k = 0; k < report.matches.size(); ++k) {
        const FinderMatch& m = report.matches[k];
        out += (k ? ",\n" : "\n");
        out += "{\"rank\":" + std::to_string(k + 1) +
               ",\"name\":" + jsonString(cp1251ToUtf8(m.name)) +
               ",\"base\":" + jsonString(report.baseFiles[static_cast<std::size_t>(m.base)]) +
               ",\"row\":" + std::to_string(m.row + 1) +
               ",\"fails\":" + std::to_string(m.fails) +
               ",\"unknown\":" + std::to_string(m.unknowns) +
               ",\"distance\":" + distanceText(m.distance, '.') + ",\"params\":[";
        for (std::size_t j = 0; j < query.rules.size(); ++j) {
            out += (j ? "," : "");
            out += "{\"column\":" + std::to_string(query.rules[j].column) +
                   ",\"text\":" + jsonString(cp1251ToUtf8(m.texts[j])) +
                   ",\"verdict\":\"" + verdictWord(m.verdict(j)) + "\"}";
        }
        out += "]}";
    }
    out += "\n]}\n";
    return out;
}

// The rules: the shipped defaults, the user's rules from a settings file, then --rule.
std::optional<RuleSet> gatherRules(const SimilarOptions& o, const std::filesystem::path& dataDir,
                                   const ComponentBase& base)
{
    auto defaults = SubstituteDefaults::load(dataDir);
    if (!defaults) {
        printError(defaults.error().message);
        return std::nullopt;
    }
    RuleSet rules = defaults->rules(base.deviceType);
    if (!o.settingsFile.empty()) {
        // A settings file named but not readable (no access, a pipe) is an error, not no rules.
        const auto settings = IniFile::loadIfPresent(o.settingsFile);
        if (!settings) {
            printError("--settings: " + settings.error().message);
            return std::nullopt;
        }
        rules = readUserRules(*settings, base.deviceType, rules);
    }
    const int columns = static_cast<int>(rules.size());
    for (const std::string& item : o.rules) {
        const auto eq = item.find('=');
        const auto column = parseColumn(std::string_view(item).substr(0, eq));
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
            rule->kind != RuleKind::Equal) {
            printError("--rule «" + item + "»: для столбца «" + titleOf(base, *column) +
                       "» допустимы только eq и off");
            return std::nullopt;
        }
        rules[static_cast<std::size_t>(*column - 1)] = *rule;
    }
    return rules;
}

std::optional<int> pickReference(const SimilarOptions& o, const FinderSource& source)
{
    const std::vector<int> rows = findNameMatches(source, utf8ToCp1251(o.like));
    if (rows.empty()) {
        printError("компонент «" + o.like + "» не найден в базе");
        return std::nullopt;
    }
    const std::string folded = foldName(utf8ToCp1251(o.like));
    if (rows.size() > 1 && foldName(source.name(rows[0])) != folded) {
        std::string names;
        for (std::size_t k = 0; k < rows.size() && k < 5; ++k)
            names += (k ? ", " : "") + cp1251ToUtf8(source.name(rows[k]));
        if (rows.size() > 5)
            names += "…";
        printError("имени «" + o.like + "» соответствуют несколько компонентов: " + names +
                   "; уточните имя");
        return std::nullopt;
    }
    return rows[0];
}

int runSimilar(const SimilarOptions& o)
{
    if (o.format != "tsv" && o.format != "json") {
        printError("--format «" + o.format + "»: допустимы tsv и json");
        return 1;
    }
    if (o.top < 0 || o.nearMisses < 0) {
        printError("--top и --near не могут быть отрицательными");
        return 1;
    }
    const std::filesystem::path dataDir =
        o.catalogueDir.empty() ? executableDir() : std::filesystem::path(o.catalogueDir);
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
    // Only the ruled columns are read: the source holds 17 bytes a cell it reads.
    std::vector<int> ruled;
    for (std::size_t i = 0; i < rules->size(); ++i)
        if ((*rules)[i].kind != RuleKind::Off)
            ruled.push_back(static_cast<int>(i) + 1);
    if (ruled.empty()) {
        printError("нет ни одного применимого правила: все правила выключены");
        return 1;
    }
    const FinderSource source = finderSourceFromBase(base, ruled);
    const auto reference = pickReference(o, source);
    if (!reference)
        return 1;
    auto query = makeQuery(source, *reference, *rules, o.nearMisses,
                           static_cast<std::size_t>(o.top));
    if (!query) {
        printError(query.error().message);
        return 1;
    }

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
    std::cerr << "Образец: " << cp1251ToUtf8(query->referenceName) << " (строка "
              << query->referenceRow + 1 << "). Подходят: " << report.fullCount
              << ", почти подходят: " << report.nearCount << '\n';

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
        "от лучших к худшим (+ подходит, - не подходит, ? неизвестно)");
    sub->add_option("base", options->baseFile, "Файл базы (.QDB) с образцом")->required();
    sub->add_option("--like", options->like,
                    "Имя образца или его часть (регистр и похожие латинские буквы не важны)")
        ->required();
    sub->add_option("--library", options->libraries,
                    "Искать во всех базах того же типа в этих папках (как навигатор)")
        ->allow_extra_args(false);
    sub->add_option("--rule", options->rules,
                    "Правило столбца: СТОЛБЕЦ=ge|le|eq|band:P:Q|off (не меньше, не больше, равно, "
                    "в пределах -P..+Q %, не учитывать)")
        ->allow_extra_args(false);
    sub->add_option("--top", options->top, "Сколько результатов вывести (0 — все; по умолчанию 20)");
    sub->add_option("--near", options->nearMisses,
                    "Показывать почти подходящие с таким числом несовпадений (по умолчанию 2)");
    sub->add_option("--format", options->format, "Формат вывода: tsv (по умолчанию) или json");
    sub->add_option("--catalogue", options->catalogueDir,
                    "Папка с каталогом параметров и substitute.ini (по умолчанию папка программы)");
    sub->add_option("--settings", options->settingsFile,
                    "Файл настроек с правилами пользователя (разделы Substitute_<код>)");
    sub->callback([options, &exitCode] { exitCode = runSimilar(*options); });
}

}  // namespace qdb

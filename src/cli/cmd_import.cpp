// qdb import: records from a CSV file into a new base, or added to a base.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/csvimport.h"
#include "base/devicetype.h"
#include "base/fileio.h"
#include "base/tableops.h"
#include "cli/baseload.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/targets.h"

namespace qdb {

namespace {

using namespace veltris;

struct ImportArgs {
    DataDirOption dataDir;
    std::filesystem::path csv;
    std::filesystem::path base;
    int type = 0;
    std::string encoding;
    std::string separator;
    bool append = false;
    bool force = false;
    bool dryRun = false;
    bool skipBad = false;
};

std::string lowered(std::string_view text)
{
    std::string s(text);
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The encodings and separators --encoding and --separator take; nullopt for any other.
std::optional<CsvEncoding> encodingNamed(std::string_view name)
{
    const std::string n = lowered(name);
    if (n == "cp1251" || n == "windows-1251")
        return CsvEncoding::Cp1251;
    if (n == "utf-8" || n == "utf8")
        return CsvEncoding::Utf8;
    return std::nullopt;
}

std::optional<char> separatorNamed(std::string_view name)
{
    if (name == ";" || name == ",")
        return name[0];
    if (name == "\t" || lowered(name) == "tab")
        return '\t';
    return std::nullopt;
}

// The options as the core takes them; every value was checked while the command line was read.
CsvImportOptions readOptions(const ImportArgs& args)
{
    CsvImportOptions options;
    if (!args.encoding.empty())
        options.encoding = *encodingNamed(args.encoding);
    if (!args.separator.empty())
        options.separator = *separatorNamed(args.separator);
    options.deviceType = args.type;
    options.skipBadLines = args.skipBad;
    options.deviceLabel = defaultDeviceLabel();
    return options;
}

void reportReading(const CsvImport& in)
{
    std::string dialect = "«" + std::string(encodingName(in.encoding));
    dialect += in.byteOrderMark ? "» с меткой порядка байтов" : "»";
    printError("файл CSV: кодировка " + dialect + ", разделитель " + separatorName(in.separator) +
               ", тип приборов «" + deviceTypeCaption(in.base.deviceType) + "» (код " +
               std::to_string(in.base.deviceType) + ")");
    for (const LeftOutColumn& c : in.header.leftOut) {
        const std::string title = oneLineTitleUtf8(c.title);
        printError("столбец " + std::to_string(c.field + 1) + (title.empty() ? "" : " «" + title + "»") +
                   " пропущен: " + c.reason);
    }
    for (const std::string& w : in.warnings)
        printError("предупреждение: " + w);
    for (const CsvProblem& p : in.problems)
        printError(p.message);
    if (in.problemCount > in.problems.size())
        printError("… и ещё ошибок: " + std::to_string(in.problemCount - in.problems.size()));
}

void runImport(const ImportArgs& args, int& exitCode)
{
    exitCode = 1;
    // The base is both read and written with --append; the CSV file is only read.
    if (!outputIsNoInput(args.base, {args.csv}) || (!args.dryRun && !targetFree(args.base, args.force)))
        return;
    CsvImportOptions options = readOptions(args);
    const std::filesystem::path dataDir = args.dataDir.folder();
    // A file that is no CSV text (a huge single line, binary bytes) is told by its start,
    // before gigabytes are read.
    const auto start = readFileStart(args.csv, kMaxTitleLine + 1);
    if (!start) {
        printError(start.error().message);
        return;
    }
    if (const Status looked = checkCsvStart(*start); !looked) {
        printError("«" + args.csv.string() + "»: " + looked.error().message);
        return;
    }
    // A spreadsheet of a large base is far bigger than a settings file: memory is the limit.
    const auto bytes = readFileBytes(args.csv, memoryForFileBytes());
    if (!bytes) {
        printError(bytes.error().message);
        return;
    }

    Result<ComponentBase> target = ComponentBase{};
    if (args.append) {
        target = loadBaseForCli(args.base, dataDir, defaultDeviceLabel());
        if (!target) {
            printError(target.error().message);
            return;
        }
        options.into = &*target;
    }
    CatalogueLoad catalogues = loadCatalogues(dataDir);
    const int needed = args.append ? target->deviceType : args.type;
    if (needed != 0 && !catalogues.catalogue.has(needed)) {
        for (const Error& e : catalogues.errors)
            if (e.message.find(findDeviceType(needed)->iniFileUpper) != std::string::npos)
                printError(e.message.substr(0, e.message.find('\r')) + " (папка каталога «" +
                           dataDir.string() + "»)");
        return;
    }

    auto imported = importCsv(*bytes, catalogues.catalogue, options);
    if (!imported) {
        std::string message = "«" + args.csv.string() + "»: " + imported.error().message;
        if (message.ends_with("укажите тип прибора"))
            message += " (--type КОД)";
        printError(message);
        return;
    }
    reportReading(*imported);
    const int records = imported->recordCount();
    const int skipped = static_cast<int>(imported->badLines.size());
    if (!imported->acceptable()) {
        printError("ничего не импортировано: строк с ошибками " + std::to_string(skipped) +
                   " (пропустить их: --skip-bad)");
        return;
    }

    if (!args.dryRun) {
        ComponentBase* out = &imported->base;
        if (args.append) {
            appendRecords(*target, imported->base.table);
            out = &*target;
        }
        const Status written = writeBase(*out, args.base);
        if (!written) {
            printError(writeErrorText(written.error(), args.base));
            return;
        }
    }
    printError("Прочитано записей: " + std::to_string(records) + ", пропущено строк: " +
               std::to_string(skipped) + (args.dryRun ? " (проверка: база не записана)" : ""));
    exitCode = 0;
}

}  // namespace

void registerImport(CLI::App& app, int& exitCode)
{
    auto args = std::make_shared<ImportArgs>();
    CLI::App* sub = app.add_subcommand(
        "import", "прочитать записи из файла CSV в новую базу (или добавить к базе: --append)");
    args->dataDir.addTo(sub);
    sub->add_option("--type", args->type,
                    "код типа приборов: 1 биполярные транзисторы, 3 диоды, 4 стабилитроны, 5 варикапы, "
                    "6 тиристоры, 7 светодиоды (по умолчанию — по заголовкам столбцов)")
        ->type_name("КОД")
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                const auto code = parseWhole(value);
                if (!code)
                    return "«" + value + "» не число";
                if (*code < 0 || *code > 65535 || findDeviceType(static_cast<int>(*code)) == nullptr)
                    return "«" + value +
                           "» — у типа приборов с таким кодом нет описания столбцов; "
                           "допустимы коды 1, 3, 4, 5, 6, 7";
                return {};
            },
            ""));
    sub->add_option("--encoding", args->encoding,
                    "кодировка файла: cp1251 или utf-8 (по умолчанию — по его байтам)")
        ->type_name("КОДИРОВКА")
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                return encodingNamed(value)
                           ? std::string()
                           : "«" + value + "» — неизвестная кодировка; допустимы cp1251 и utf-8";
            },
            ""));
    sub->add_option("--separator", args->separator,
                    "разделитель полей: «;», «,» или tab (по умолчанию — по строке заголовков)")
        ->type_name("ЗНАК")
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                return separatorNamed(value)
                           ? std::string()
                           : "«" + value + "» — недопустимый разделитель; допустимы «;», «,» и tab";
            },
            ""));
    sub->add_flag("--append", args->append, "добавить записи к существующей базе того же типа");
    sub->add_flag("--force", args->force, "записать базу, даже если она открыта для изменения в Вельтрисе");
    sub->add_flag("--dry-run", args->dryRun,
                  "только прочитать файл и сообщить, что в нём; базу не записывать");
    sub->add_flag("--skip-bad", args->skipBad,
                  "пропустить строки с ошибками (иначе не импортируется ничего)");
    required(sub->add_option("csv", args->csv, "файл CSV")->type_name("ФАЙЛ_CSV"),
             "не указан файл CSV (ФАЙЛ_CSV)");
    required(sub->add_option("base", args->base, "файл базы (.QDB): новый или, с --append, существующий")
                 ->type_name("БАЗА"),
             "не указан файл базы (БАЗА)");
    sub->callback([args, &exitCode] { runImport(*args, exitCode); });
}

}  // namespace qdb

// qdb export: the CSV file the window's export writes, byte for byte.
#include <memory>

#include "base/cp1251.h"
#include "base/csvexport.h"
#include "base/tableworkbook.h"
#include "cli/baseload.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/targets.h"

namespace qdb {

namespace {

struct ExportArgs {
    DataDirOption dataDir;
    std::string label = "Тип прибора";
    std::filesystem::path base;
    std::filesystem::path out;
    bool force = false;
};

}  // namespace

void registerExport(CLI::App& app, int& exitCode)
{
    auto args = std::make_shared<ExportArgs>();
    CLI::App* sub = app.add_subcommand(
        "export",
        "выгрузить базу в текстовый файл CSV (разделитель «;») или, если имя файла оканчивается на .xlsx, в книгу XLSX");
    args->dataDir.addTo(sub);
    sub->add_option("--label", args->label, "надпись левой верхней ячейки (по умолчанию «Тип прибора»)")
        ->type_name("ТЕКСТ");
    required(sub->add_option("base", args->base, "файл базы (.QDB)")->type_name("БАЗА"),
             "не указан файл базы (БАЗА)");
    required(sub->add_option("out", args->out, "создаваемый файл CSV (или .xlsx)")->type_name("ФАЙЛ_CSV"),
             "не указан создаваемый файл CSV (ФАЙЛ_CSV)");
    sub->add_flag("--force", args->force, "записать файл, даже если он открыт для изменения в Вельтрисе");
    sub->callback([args, &exitCode] {
        if (!outputIsNoInput(args->out, {args->base}) || !targetFree(args->out, args->force)) {
            exitCode = 1;
            return;
        }
        bool lossy = false;
        const std::string label = veltris::utf8ToCp1251(args->label, &lossy);
        if (lossy)
            printError("в надписи есть знаки, которых нет в кодировке Windows-1251; они заменены на «?»");
        auto base = loadBaseForCli(args->base, args->dataDir.folder(), label);
        if (!base) {
            printError(base.error().message);
            exitCode = 1;
            return;
        }
        std::string extension = args->out.extension().string();
        for (char& c : extension)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        const auto written =
            extension == ".xlsx"
                ? veltris::writeTableXlsx(base->table, args->out)
                : veltris::writeCsv(base->table, args->out, veltris::csvColourColumn(base->deviceType));
        if (!written) {
            printError(writeErrorText(written.error(), args->out));
            exitCode = 1;
        }
    });
}

}  // namespace qdb

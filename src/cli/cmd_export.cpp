// qdb export: the CSV file the window's export writes, byte for byte.
#include <memory>

#include "base/cp1251.h"
#include "base/csvexport.h"
#include "cli/baseload.h"
#include "cli/commands.h"

namespace qdb {

namespace {

struct ExportArgs {
    std::filesystem::path catalogueDir;
    std::string label = "Тип прибора";
    std::filesystem::path base;
    std::filesystem::path out;
};

}  // namespace

void registerExport(CLI::App& app, int& exitCode)
{
    auto args = std::make_shared<ExportArgs>();
    args->catalogueDir = defaultCatalogueDir();
    CLI::App* sub = app.add_subcommand("export", "выгрузить базу в текстовый файл CSV (разделитель «;»)");
    sub->add_option("--catalogue", args->catalogueDir,
                    "папка с файлами каталога параметров (по умолчанию папка программы)")
        ->type_name("ПАПКА");
    sub->add_option("--label", args->label,
                    "надпись левой верхней ячейки (по умолчанию «Тип прибора»)")
        ->type_name("ТЕКСТ");
    sub->add_option("base", args->base, "файл базы (.QDB)")->required()->type_name("БАЗА");
    sub->add_option("out", args->out, "создаваемый файл CSV")->required()->type_name("ФАЙЛ_CSV");
    sub->callback([args, &exitCode] {
        bool lossy = false;
        const std::string label = veltris::utf8ToCp1251(args->label, &lossy);
        if (lossy)
            printError("в надписи есть знаки, которых нет в кодировке Windows-1251; они заменены на «?»");
        auto base = loadBaseForCli(args->base, args->catalogueDir, label);
        if (!base) {
            printError(base.error().message);
            exitCode = 1;
            return;
        }
        const auto written = veltris::writeCsv(base->table, args->out);
        if (!written) {
            printError(writeErrorText(written.error(), args->out));
            exitCode = 1;
        }
    });
}

}  // namespace qdb

// qdb info: what a base file holds, in UTF-8 on stdout.
#include <iostream>
#include <memory>
#include <vector>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/devicetype.h"
#include "cli/baseload.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"

namespace qdb {

namespace {

struct InfoArgs {
    DataDirOption dataDir;
    std::vector<std::filesystem::path> files;
};

std::string typeText(int code)
{
    const std::string caption = veltris::deviceTypeCaption(code);
    const std::string number = " (код " + std::to_string(code) + ")";
    if (!caption.empty())
        return caption + number;
    return (code == 0 ? "не задан" : "неизвестный") + number;
}

void printInfo(const std::filesystem::path& file, const veltris::ComponentBase& base)
{
    std::string out;
    out += "Файл: " + file.string() + "\n";
    out += "Версия формата: " + std::to_string(veltris::formatVersion(base.header.data())) + "\n";
    out += "Тип прибора: " + typeText(base.deviceType) + "\n";
    out += "Описание базы: " + veltris::cp1251ToUtf8(base.description()) + "\n";
    out += "Записей: " + std::to_string(base.recordCount()) + "\n";
    if (base.unreadTailBytes > 0)
        out += veltris::unreadTailMessage(base.unreadTailBytes) + "\n";
    if (!base.keptRecords.empty())
        out +=
            "Записей без описания типа (сохраняются без чтения): " + std::to_string(base.keptRecordCount()) +
            "\n";
    out += "Заголовки столбцов:\n";
    for (int c = 1; c < base.table.columnCount(); ++c)
        out += "  " + std::to_string(c) + ": " +
               veltris::cp1251ToUtf8(veltris::oneLineTitle(base.table.cell(0, c))) + "\n";
    writeOut(out);
}

}  // namespace

void registerInfo(CLI::App& app, int& exitCode)
{
    auto args = std::make_shared<InfoArgs>();
    CLI::App* sub = app.add_subcommand(
        "info", "показать версию формата, тип прибора, описание, число записей и заголовки столбцов");
    args->dataDir.addTo(sub);
    required(sub->add_option("files", args->files, "файлы баз (.QDB)")->type_name("ФАЙЛ"),
             "не указан файл базы (ФАЙЛ)");
    sub->callback([args, &exitCode] {
        bool first = true;
        const std::filesystem::path dataDir = args->dataDir.folder();
        for (const auto& file : args->files) {
            auto base = loadBaseForCli(file, dataDir);
            if (!base) {
                flushOut();
                printError(base.error().message);
                exitCode = 1;
                continue;
            }
            if (!first)
                writeOut("\n");
            first = false;
            printInfo(file, *base);
        }
    });
}

}  // namespace qdb

// qdb list: every component of every base in the given folders, as the navigator sees them.
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "base/cp1251.h"
#include "base/navigatorcatalogue.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"

namespace qdb {

namespace {

struct ListOptions {
    std::vector<std::string> dirs;
    int typeCode = -1;  // -1: every device type
};

int runList(const ListOptions& options)
{
    veltris::NavigatorCatalogue catalogue = veltris::NavigatorCatalogue{};
    bool anyProblem = false;
    for (const std::string& dir : options.dirs) {
        // A folder named here that cannot be read is an error (the others are still listed).
        for (const veltris::Error& problem : catalogue.addFolder(dir)) {
            printError(problem.message);
            anyProblem = true;
        }
    }

    std::string out;
    out.reserve(64 * 1024);
    const veltris::NavigatorBaseFile* lastBase = nullptr;
    std::string description;  // converted once per file
    for (const veltris::NavigatorEntry entry : catalogue) {
        if (options.typeCode >= 0 && entry.deviceType != options.typeCode)
            continue;
        if (entry.base != lastBase) {
            lastBase = entry.base;
            description = veltris::cp1251ToUtf8(entry.description());
        }
        char code[8];
        const auto res = std::to_chars(code, code + sizeof code, entry.deviceType);
        out.append(code, res.ptr);
        out += '\t';
        out += entry.fileName();
        out += '\t';
        out += veltris::cp1251ToUtf8(entry.componentName);
        out += '\t';
        out += description;
        out += '\n';
        if (out.size() >= 60 * 1024) {
            writeOut(out);
            out.clear();
        }
    }
    writeOut(out);
    return anyProblem ? 1 : 0;
}

}  // namespace

void registerList(CLI::App& app, int& exitCode)
{
    auto options = std::make_shared<ListOptions>();
    CLI::App* sub = app.add_subcommand("list",
                                       "Список компонентов всех баз в папках (как в навигаторе): "
                                       "код типа, путь к базе, имя компонента, описание базы");
    sub->add_option("--type", options->typeCode, "Только компоненты с этим кодом типа прибора")
        ->type_name("КОД")
        ->check(wholeNumber(0, 65535));
    required(sub->add_option("dir", options->dirs, "Папки с базами (*.QDB), просматриваются по порядку")
                 ->type_name("ПАПКА"),
             "не указана папка с базами (ПАПКА)");
    sub->callback([options, &exitCode] { exitCode = runList(*options); });
}

}  // namespace qdb

// qdb convert: load a base as the window does and save it as Save does (format version 5).
#include <memory>
#include <string>

#include "base/basefile.h"
#include "cli/baseload.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/targets.h"

namespace qdb {

namespace {

struct ConvertArgs {
    DataDirOption dataDir;
    std::filesystem::path in;
    std::filesystem::path out;
    bool force = false;
};

}  // namespace

void registerConvert(CLI::App& app, int& exitCode)
{
    auto args = std::make_shared<ConvertArgs>();
    CLI::App* sub = app.add_subcommand("convert", "прочитать базу и записать её в формате версии 5");
    args->dataDir.addTo(sub);
    required(sub->add_option("in", args->in, "исходный файл базы")->type_name("ВХОД"),
             "не указан исходный файл базы (ВХОД)");
    required(sub->add_option("out", args->out, "файл базы, который будет записан")->type_name("ВЫХОД"),
             "не указан файл, который будет записан (ВЫХОД)");
    sub->add_flag("--force", args->force, "записать базу, даже если она открыта для изменения в Вельтрисе");
    sub->callback([args, &exitCode] {
        if (!outputIsNoInput(args->out, {args->in}) || !targetFree(args->out, args->force)) {
            exitCode = 1;
            return;
        }
        auto base = loadBaseForCli(args->in, args->dataDir.folder(), defaultDeviceLabel());
        if (!base) {
            printError(base.error().message);
            exitCode = 1;
            return;
        }
        const auto written = veltris::writeBase(*base, args->out);
        if (!written) {
            printError(writeErrorText(written.error(), args->out));
            exitCode = 1;
        }
    });
}

}  // namespace qdb

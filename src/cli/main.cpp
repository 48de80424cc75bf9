// qdb: the command-line tool over the component base core.
#include <cstdio>
#include <iostream>
#include <system_error>

#include "base/datadir.h"
#include "cli/commands.h"
#include "cli/output.h"

namespace qdb {

namespace {
const char* g_argv0 = nullptr;

std::string parseErrorText(const CLI::ParseError& e)
{
    const std::string name = e.get_name();
    if (name == "RequiredError")
        return "не указана команда или обязательный аргумент";
    if (name == "ExtrasError")
        return "лишние аргументы в командной строке";
    if (name == "ArgumentMismatch")
        return "неверное число аргументов";
    if (name == "ConversionError" || name == "ValidationError")
        return "недопустимое значение аргумента";
    if (name == "FileError")
        return "файл не найден";
    return "неверная командная строка";
}
}  // namespace

std::filesystem::path executableDir()
{
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty())
        return self.parent_path();
    if (g_argv0 != nullptr && *g_argv0 != '\0') {
        const auto p = std::filesystem::absolute(g_argv0, ec);
        if (!ec)
            return p.parent_path();
    }
    return std::filesystem::current_path(ec);
}

std::filesystem::path defaultCatalogueDir()
{
    return veltris::findDataDir(executableDir());
}

void printError(const std::string& message)
{
    std::cerr << "qdb: " << message << '\n';
}

std::string writeErrorText(const veltris::Error& error, const std::filesystem::path& file)
{
    std::string text = error.message + " «" + file.string() + "»";
    if (error.row > 0 && error.column >= 0)
        text += " (запись " + std::to_string(error.row) + ", столбец " + std::to_string(error.column) + ")";
    if (!error.reason.empty())
        text += ": " + error.reason;
    return text;
}

}  // namespace qdb

int main(int argc, char** argv)
{
    qdb::g_argv0 = argc > 0 ? argv[0] : nullptr;

    CLI::App app{"qdb — просмотр, экспорт, импорт и преобразование файлов баз компонентов (.QDB) Вельтриса",
                 "qdb"};
    auto fmt = app.get_formatter();
    fmt->label("Usage", "Использование");
    fmt->label("OPTIONS", "ПАРАМЕТРЫ");
    fmt->label("SUBCOMMAND", "КОМАНДА");
    fmt->label("SUBCOMMANDS", "КОМАНДЫ");
    fmt->label("Positionals", "Аргументы");
    fmt->label("REQUIRED", "ОБЯЗАТЕЛЬНО");
    fmt->label("TEXT", "ТЕКСТ");
    app.option_defaults()->group("Параметры");
    app.set_help_flag("-h,--help", "показать справку и выйти");
    app.require_subcommand(1);

    int exitCode = 0;
    qdb::registerInfo(app, exitCode);
    qdb::registerExport(app, exitCode);
    qdb::registerConvert(app, exitCode);
    qdb::registerImport(app, exitCode);
    qdb::registerList(app, exitCode);
    qdb::registerSelect(app, exitCode);
    qdb::registerSimilar(app, exitCode);
    for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
        sub->group("Команды");
        sub->set_help_flag("-h,--help", "показать справку и выйти");
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            const int code = app.exit(e);  // --help
            return qdb::finishOut() ? code : 1;
        }
        qdb::printError(qdb::parseErrorText(e) + " (справка: qdb --help)");
        return 1;
    }
    return qdb::finishOut() ? exitCode : 1;
}

// qdb: the command-line tool over the component base core.
#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

#include "base/syserror.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"

namespace qdb {

namespace {
const char* g_argv0 = nullptr;
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

void printError(const std::string& message)
{
    printRaw("qdb: " + message + "\n");
}

void printRaw(const std::string& text)
{
    std::cerr << text;
    std::cerr.flush();
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

namespace {

int run(int argc, char** argv)
{
    CLI::App app{"qdb — просмотр, экспорт, импорт и преобразование файлов баз компонентов (.QDB) Вельтриса",
                 "qdb"};
    qdb::setUpHelp(app);
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
        qdb::printRaw(qdb::parseErrorMessage(app, e) + "\nСправка: qdb " +
                      (app.get_subcommands().empty() ? "" : app.get_subcommands().front()->get_name() + " ") +
                      "--help\n");
        return 1;
    }
    return qdb::finishOut() ? exitCode : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    qdb::g_argv0 = argc > 0 ? argv[0] : nullptr;
    // Nothing may end qdb with an uncaught exception: whatever a command did not handle becomes
    // a message and exit code 1.
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        qdb::flushOut();
        qdb::printError("Недостаточно памяти");
    } catch (const std::filesystem::filesystem_error& e) {
        qdb::flushOut();
        std::string text = "Ошибка файловой системы";
        if (!e.path1().empty())
            text += " «" + e.path1().string() + "»";
        qdb::printError(text + ": " + veltris::systemReason(e.code().value()));
    } catch (const std::system_error& e) {
        qdb::flushOut();
        qdb::printError("Системная ошибка: " + veltris::systemReason(e.code().value()));
    } catch (const std::exception& e) {
        qdb::flushOut();
        qdb::printError(std::string("Непредвиденная ошибка: ") + e.what());
    } catch (...) {
        qdb::flushOut();
        qdb::printError("Непредвиденная ошибка");
    }
    return 1;
}

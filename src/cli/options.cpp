#include "cli/options.h"

#include <charconv>
#include <map>
#include <sstream>
#include <system_error>

#include "base/datadir.h"
#include "cli/commands.h"

namespace qdb {

namespace {

// Letters on the screen, not bytes: a UTF-8 continuation byte starts no letter.
std::size_t displayWidth(std::string_view utf8)
{
    std::size_t n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// One line of the help: "  name" padded to `width` letters, then the description; a name too
// long for the column puts its description on the next line.
std::string helpLine(const std::string& name, const std::string& description, std::size_t width)
{
    std::string out = "  " + name;
    const std::size_t used = displayWidth(out);
    if (!description.empty()) {
        if (used >= width)
            out += "\n" + std::string(width, ' ');
        else
            out += std::string(width - used, ' ');
        for (const char c : description) {
            out += c;
            if (c == '\n')
                out += std::string(width, ' ');
        }
    }
    return out + "\n";
}

class RussianFormatter : public CLI::Formatter {
public:
    std::string make_option(const CLI::Option* opt, bool isPositional) const override
    {
        if (isPositional)
            return helpLine(make_option_usage(opt), make_option_desc(opt), column_width_);
        return helpLine(make_option_name(opt, isPositional) + make_option_opts(opt), make_option_desc(opt),
                        column_width_);
    }
    // An argument goes by its Russian placeholder (БАЗА, ФАЙЛ ...), not by its internal name.
    std::string make_option_usage(const CLI::Option* opt) const override
    {
        std::string name = opt->get_type_name();
        if (name.empty())
            name = opt->get_name(true, false);
        if (opt->get_expected_max() > 1)
            name += " ...";
        return opt->get_required() ? name : "[" + name + "]";
    }
    std::string make_subcommand(const CLI::App* sub) const override
    {
        return helpLine(sub->get_display_name(true), sub->get_description(), column_width_);
    }
};

std::map<const CLI::Option*, std::string>& missingTexts()
{
    static std::map<const CLI::Option*, std::string> texts;
    return texts;
}

// The command named on the command line, if any.
const CLI::App* chosenCommand(const CLI::App& app)
{
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    return chosen.empty() ? nullptr : chosen.front();
}

std::string prefix(const CLI::App* command)
{
    return command ? "qdb " + command->get_name() + ": " : "qdb: ";
}

// The text between `before` and `after` in `text` (`after` empty: to the end).
std::string between(const std::string& text, const std::string& before, const std::string& after)
{
    const auto start = text.find(before);
    if (start == std::string::npos)
        return {};
    const auto from = start + before.size();
    const auto end = after.empty() ? std::string::npos : text.find(after, from);
    return text.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

}  // namespace

void setUpHelp(CLI::App& app)
{
    auto fmt = std::make_shared<RussianFormatter>();
    fmt->column_width(36);
    fmt->label("Usage", "Использование");
    fmt->label("OPTIONS", "ПАРАМЕТРЫ");
    fmt->label("SUBCOMMAND", "КОМАНДА");
    fmt->label("SUBCOMMANDS", "КОМАНДЫ");
    fmt->label("Positionals", "Аргументы");
    fmt->label("REQUIRED", "(обязательно)");
    fmt->label("TEXT", "ТЕКСТ");
    fmt->label("INT", "ЧИСЛО");
    app.formatter(fmt);
    app.footer(
        "Сообщения выводятся по-русски в поток ошибок. Код возврата: 0 — успешно, "
        "1 — ошибка (неверная командная строка, файл не прочитан или не записан, "
        "компонент не найден).");
}

void DataDirOption::addTo(CLI::App* command)
{
    command
        ->add_option("--catalogue", m_given,
                     "папка с файлами каталога параметров и substitute.ini (по умолчанию папка "
                     "программы или ../share/veltris рядом с ней)")
        ->type_name("ПАПКА")
        ->check(existingFolder());
}

std::filesystem::path DataDirOption::folder() const
{
    if (!m_given.empty())
        return m_given;
    return veltris::findDataDir(executableDir());
}

std::optional<long long> parseWhole(std::string_view text)
{
    long long v = 0;
    const char* const end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return v;
}

CLI::Validator wholeNumber(long long lo, long long hi)
{
    return CLI::Validator(
        [lo, hi](std::string& value) -> std::string {
            const auto v = parseWhole(value);
            if (!v) {
                // A number with digits but out of the type's range is still a number.
                const bool digits = !value.empty() &&
                                    value.find_first_not_of("-0123456789") == std::string::npos &&
                                    value.find_first_of("0123456789") != std::string::npos;
                if (!digits)
                    return "«" + value + "» не число";
            }
            if (!v || *v < lo || *v > hi)
                return "«" + value + "» вне пределов от " + std::to_string(lo) + " до " + std::to_string(hi);
            return {};
        },
        "");
}

CLI::Validator existingFolder()
{
    return CLI::Validator(
        [](std::string& value) -> std::string {
            std::error_code ec;
            if (std::filesystem::is_directory(value, ec))
                return {};
            return std::filesystem::exists(value, ec) ? "«" + value + "» — не папка"
                                                      : "папка «" + value + "» не найдена";
        },
        "");
}

CLI::Validator existingFile()
{
    return CLI::Validator(
        [](std::string& value) -> std::string {
            std::error_code ec;
            if (std::filesystem::is_regular_file(value, ec))
                return {};
            if (std::filesystem::is_directory(value, ec))
                return "«" + value + "» — папка, а не файл";
            return "файл «" + value + "» не найден";
        },
        "");
}

CLI::Option* required(CLI::Option* option, const std::string& missing)
{
    missingTexts()[option] = missing;
    return option->required();
}

std::string parseErrorMessage(const CLI::App& app, const CLI::ParseError& error)
{
    const CLI::App* command = chosenCommand(app);
    const std::string what = error.what();

    const std::vector<std::string> extra = app.remaining(true);
    // Without a command nothing else can be judged: an unknown word is the first thing to say.
    if (dynamic_cast<const CLI::ExtrasError*>(&error) ||
        (command == nullptr && dynamic_cast<const CLI::RequiredError*>(&error) && !extra.empty())) {
        if (!extra.empty()) {
            const std::string& first = extra.front();
            if (first.size() > 1 && first[0] == '-')
                return "qdb: неизвестный параметр «" + first + "»";
            if (command == nullptr)
                return "qdb: неизвестная команда «" + first + "»";
            return "qdb: лишний аргумент «" + first + "»";
        }
        return "qdb: лишние аргументы в командной строке";
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error)) {
        if (command == nullptr)
            return "qdb: не указана команда (info, export, convert, import, list, select, similar)";
        const std::string name = between(what, "", " is required");
        if (const CLI::Option* opt = command->get_option_no_throw(name)) {
            const auto found = missingTexts().find(opt);
            if (found != missingTexts().end())
                return prefix(command) + found->second;
        }
        return prefix(command) + "не указан обязательный параметр «" + name + "»";
    }
    if (dynamic_cast<const CLI::ValidationError*>(&error))
        return "qdb: " + what;  // "--near: «abc» не число": our own checks speak Russian
    if (dynamic_cast<const CLI::ConversionError*>(&error)) {
        // "Could not convert: --near = abc"
        const std::string name = between(what, "Could not convert: ", " = ");
        if (!name.empty())
            return "qdb: " + name + ": «" + between(what, " = ", "") + "» — недопустимое значение";
        return "qdb: недопустимое значение параметра";
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
        // "--near: 1 required INT missing" or "Expected exactly 1 arguments to --near, got 0"
        std::string name =
            what.rfind("Expected", 0) == 0 ? between(what, " to ", ",") : what.substr(0, what.find(':'));
        if (name.empty() || name.size() == what.size())
            return "qdb: неверное число значений параметра";
        return "qdb: " + name + ": не указано значение";
    }
    return prefix(command) + "неверная командная строка";
}

}  // namespace qdb

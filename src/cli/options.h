#pragma once
// What every qdb command shares on its command line: the help's layout and Russian
// placeholders, the option naming the data folder, number checks with Russian messages, and the
// Russian text of a command line CLI11 refused.
#include <filesystem>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

namespace qdb {

// The help in Russian, its columns aligned by letters (not bytes), with the exit codes in the
// footer. Call once on the application before the commands are added.
void setUpHelp(CLI::App& app);

// The folder holding the catalogue files (bipolar.ini, ...) and substitute.ini, found the same
// way by every command: the folder given with --catalogue; else the folder of qdb itself when
// the catalogue lies there (a build folder); else ../share/veltris beside it (an installation).
class DataDirOption {
public:
    // Adds --catalogue ПАПКА to `command`; a value that names no folder is refused while the
    // command line is read.
    void addTo(CLI::App* command);
    std::filesystem::path folder() const;

private:
    std::string m_given;
};

// The value must be a whole number within lo..hi: «qdb: --near: «abc» не число»,
// «qdb: --type: «70000» вне пределов от 0 до 65535».
CLI::Validator wholeNumber(long long lo, long long hi);
// The value must name an existing folder / file.
CLI::Validator existingFolder();
CLI::Validator existingFile();

// Marks `option` as required; when it is missing the message is `missing` after the command's
// name: "не указан образец (--like ИМЯ)" gives «qdb similar: не указан образец (--like ИМЯ)».
CLI::Option* required(CLI::Option* option, const std::string& missing);

// The Russian line (with the "qdb: " or "qdb <command>: " prefix) for a refused command line.
std::string parseErrorMessage(const CLI::App& app, const CLI::ParseError& error);

// Whole number of a text, nothing else in it (no sign unless lo < 0); nullopt otherwise.
std::optional<long long> parseWhole(std::string_view text);

}  // namespace qdb

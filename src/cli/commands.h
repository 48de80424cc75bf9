#pragma once
// Each qdb subcommand lives in its own file and registers itself on the application.
#include <filesystem>
#include <string>

#include <CLI/CLI.hpp>

#include "base/result.h"

namespace qdb {

// The folder of the executable.
std::filesystem::path executableDir();
// Prints a UTF-8 message on stderr, prefixed "qdb: ".
void printError(const std::string& message);
// Prints a UTF-8 text on stderr as it is.
void printRaw(const std::string& text);
// "<message> «<file>»: <system's reason>" for a file that could not be written.
std::string writeErrorText(const veltris::Error& error, const std::filesystem::path& file);

// Each returns after adding its subcommand; the callback sets `exitCode`.
void registerInfo(CLI::App& app, int& exitCode);
void registerExport(CLI::App& app, int& exitCode);
void registerConvert(CLI::App& app, int& exitCode);
void registerImport(CLI::App& app, int& exitCode);
void registerList(CLI::App& app, int& exitCode);
void registerSelect(CLI::App& app, int& exitCode);
void registerSimilar(CLI::App& app, int& exitCode);

}  // namespace qdb

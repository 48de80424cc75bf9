#pragma once
// Where the program's read-only data lives: the catalogue INI files, the package drawings,
// the help file and the sample bases.
#include <filesystem>

namespace veltris {

// The data folder for executables in `exeDir`: `exeDir` itself when the catalogue
// (bipolar.ini) lies there, as in a build tree; otherwise `exeDir/../share/veltris` when that
// folder exists, as after an installation; otherwise `exeDir`.
std::filesystem::path findDataDir(const std::filesystem::path& exeDir);

}  // namespace veltris

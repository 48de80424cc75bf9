#pragma once
// Whole-file reading and all-or-nothing writing.
#include <filesystem>
#include <string>
#include <string_view>

#include "base/result.h"

namespace veltris {

// Reads a whole file. Errors: OpenFailed with a Russian message naming the file and reason.
Result<std::string> readFileBytes(const std::filesystem::path& path);

// Writes to a temporary file beside `path`, then renames it over `path`. On any failure the
// previous file is untouched, the temporary file is removed, and the error carries
// `failureMessage` (kind WriteFailed).
Status writeFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                       std::string_view failureMessage = "Ошибка записи в файл");

}  // namespace veltris

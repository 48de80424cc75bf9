#pragma once
// Whole-file reading and all-or-nothing writing.
#include <filesystem>
#include <string>
#include <string_view>

#include "base/result.h"

namespace veltris {

// Reads a whole file. Errors: OpenFailed with a Russian message naming the file and reason.
Result<std::string> readFileBytes(const std::filesystem::path& path);

// Replaces `path` all or nothing: the bytes go to a temporary file in the same folder (unnamed
// where the file system allows, so a crash leaves nothing behind), which takes the old file's
// mode, owner and group (the owner where permitted) and is synced, then renamed over `path`;
// the folder is synced after. A new file gets 0666 less the umask. Through a symbolic link the
// file it points to is replaced; a pipe or a device is written in place. On any failure the
// previous file is untouched, no temporary file stays, and the error (kind WriteFailed) carries
// `failureMessage` with the system's reason in `reason`.
Status writeFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                       std::string_view failureMessage = "Ошибка записи в файл");

// Which temporary file the write uses: Unnamed falls back to Named by itself where the file
// system has no unnamed files; Named forces the fallback (tests of that way).
enum class TempFile { Unnamed, Named };
Status writeFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                       std::string_view failureMessage, TempFile tempFile);

}  // namespace veltris

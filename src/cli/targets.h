#pragma once
// What every qdb command that writes a file checks first: the file it would write is not one
// it reads (the same file under any name, a link, a hard link), and no running Вельтрис has it
// open for editing (unless --force).
#include <filesystem>
#include <initializer_list>

namespace qdb {

// False (the reason printed) when `out` is the same file as one of `inputs`: writing it would
// destroy what is being read.
bool outputIsNoInput(const std::filesystem::path& out, std::initializer_list<std::filesystem::path> inputs);

// False (who holds it printed) when another running program has `out` open for editing and
// `force` is not given.
bool targetFree(const std::filesystem::path& out, bool force);

}  // namespace qdb

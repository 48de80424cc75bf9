#pragma once
// Windows INI files on bytes (Windows-1251 text): sections and keys compared without regard
// to ASCII case; writing a key changes its line in place and keeps every other line.
// No general-purpose library keeps lines in place with these lookup rules, so it is ours.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace veltris {

class IniFile {
public:
    IniFile() = default;
    // Lines end at LF; any CRs right before it belong to the line end. A leading UTF-8
    // byte-order mark is skipped (and kept for toBytes).
    static IniFile fromBytes(std::string_view bytes);
    // A missing or unreadable file gives an empty IniFile (every read yields its default).
    static IniFile loadOrEmpty(const std::filesystem::path& path);
    // A missing file gives an empty IniFile; one that is there but cannot be read (no access, a
    // pipe or a device, too big for an INI file) gives the reader's error naming it.
    static Result<IniFile> loadIfPresent(const std::filesystem::path& path);

    bool hasKey(std::string_view section, std::string_view key) const;
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
    // Decimal, "$hex" or "0x" hex (optionally signed); anything else gives `def`.
    long long readInt(std::string_view section, std::string_view key, long long def) const;

    // Replaces the value of an existing key in place, or appends the key at the end of its
    // section, or appends the section at the end of the file.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInt(std::string_view section, std::string_view key, long long value);

    std::string toBytes() const;  // lines joined with CR LF
    Status saveAtomic(const std::filesystem::path& path, std::string_view failureMessage) const;

private:
    std::vector<std::string> m_lines;
    bool m_bom = false;  // the bytes began with a UTF-8 byte-order mark
};

// Parses an INI integer as above; nullopt when the text is not one.
std::optional<long long> parseIniInt(std::string_view text);

}  // namespace veltris

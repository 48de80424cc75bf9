#pragma once
// The parameter catalogue: per device type, catalogue columns 1..C, each with 0..15 names.
#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace veltris {

constexpr int kMaxNames = 15;

struct CatalogueColumn {
    int count = 0;                                 // 0..15
    std::array<std::string, kMaxNames + 1> names;  // [1..15], Windows-1251; [0] unused
};

class Catalogue {
public:
    bool has(int code) const;                   // loaded successfully
    int columnCount(int code) const;            // C, 0 when not loaded
    int nameCount(int code, int column) const;  // 0 outside 1..C
    // Name m of column c; empty for an unknown type or column, or m outside 1..count.
    const std::string& name(int code, int column, int m) const;

    // Loads one device INI file from `dir`. Errors: Generic with the missing-file message
    // ("Не найден файл BIPOLAR.INI\r\nРабота приложения будет прекращена"),
    // IniFormat when a Count lies outside 0..255.
    Status loadType(const std::filesystem::path& dir, int code);
    // Builds a type's catalogue from INI text (for tests and tools).
    Status loadTypeFromBytes(int code, std::string_view iniBytes);

private:
    std::array<std::vector<CatalogueColumn>, 8> m_columns;  // by code; index 1..C used
    std::array<bool, 8> m_loaded{};
};

struct CatalogueLoad {
    Catalogue catalogue;
    std::vector<Error> errors;  // one per failed file, in load order
};

// Loads the six files in the order bipolar, diodes, zener diodes, varicaps, thyristors, LEDs;
// a failure does not stop the others.
CatalogueLoad loadCatalogues(const std::filesystem::path& dir);

// A column title on one line: each "|" line break becomes one blank, the parts trimmed and
// empty parts dropped ("Uобр max,|В" -> "Uобр max, В"). Bytes in, bytes out (any code page).
std::string oneLineTitle(std::string_view title);

}  // namespace veltris

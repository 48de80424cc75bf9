#pragma once
// The navigator catalogue: one entry per component record of every base in the scan folders.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/result.h"

namespace veltris {

// What every entry of one base file shares; held once per file, not once per record.
struct NavigatorBaseFile {
    std::string fileName;     // absolute path (native bytes, UTF-8 on Linux)
    std::string description;  // base description, Windows-1251 bytes, at most 104
};

struct TLBox2Type {
    std::uint16_t deviceType = 0;
    std::string componentName;  // Windows-1251 bytes, at most 15
    std::shared_ptr<const NavigatorBaseFile> base;

    const std::string& fileName() const { return base->fileName; }
    const std::string& description() const { return base->description; }
};

class NavigatorCatalogue {
public:
    // Appends an entry for every whole record of every base file directly in `folder` (names
    // ending in ".QDB" in any letter case; subfolders are not entered), files in file-name byte
    // order, records in file order. Versions 3 and 4 give device type 1, version 5 its header
    // byte 59 whatever it is; other versions and files too short for one record add nothing.
    // A file that cannot be opened or read (a folder named like a base too) adds nothing and
    // its problem (OpenFailed, Russian text naming the file and the reason) is returned; the
    // scan goes on. A folder that cannot be listed gives one problem; callers skip folders that
    // do not exist before calling, as start-up does.
    std::vector<Error> AddDir(const std::filesystem::path& folder);

    const std::vector<TLBox2Type>& entries() const { return m_entries; }
    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const TLBox2Type& operator[](std::size_t i) const { return m_entries[i]; }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

private:
    std::vector<TLBox2Type> m_entries;
};

// The empty catalogue the program starts with, before any folder is scanned.
NavigatorCatalogue CreateNavigatorCatalogue();

}  // namespace veltris

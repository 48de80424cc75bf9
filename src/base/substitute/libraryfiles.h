#pragma once
// The library read once: the bytes of every base file a search over many parts goes through,
// so that each part's search judges them from memory instead of reading them again.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/fileidentity.h"
#include "base/result.h"

namespace veltris {

class Catalogue;
class NavigatorCatalogue;

struct LibraryFile {
    std::string fileName;  // as the navigator lists it, or as given
    FileIdentity identity;
    std::string bytes;
    int deviceType = 0;
};

struct LibraryFiles {
    std::vector<LibraryFile> files;
    std::vector<Error> problems;  // files that could not be read or are no base
    bool cancelled = false;

    // The records of file f: `count` and `nameOf(row)` (Windows-1251), read straight from the
    // bytes, or through the base reader for a file of an unusual shape.
    void forEachName(std::size_t f, const Catalogue& catalogue,
                     const std::function<void(int row, std::string_view name)>& visit) const;
};

// Reads every base file the navigator lists (each once, in catalogue order), of the device type
// `deviceType` only when it is not 0. A file that cannot be read, or that the base reader
// refuses, is listed in `problems` and left out. `cancelled` is asked between files and inside a
// long read.
LibraryFiles readLibraryFiles(const NavigatorCatalogue& navigator, const Catalogue& catalogue,
                              int deviceType = 0, const std::function<bool()>& cancelled = {});

// Reads one base file into `into` (after the files already there, unless it is one of them).
// Error: that of the reader or of the base reader, naming the file.
Status addLibraryFile(LibraryFiles& into, const std::filesystem::path& file, const Catalogue& catalogue);

}  // namespace veltris

#pragma once
// The navigator catalogue: one entry per component record of every base in the scan folders.
//
// Names are kept packed per file (16 bytes a record) and file name, description and device type
// once per file, so a scan of many bases costs little beyond reading them.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/result.h"

namespace veltris {

// What every entry of one base file shares.
struct NavigatorBaseFile {
    std::string fileName;          // absolute path (native bytes, UTF-8 on Linux)
    std::string description;       // base description, Windows-1251 bytes, at most 104
    std::uint16_t deviceType = 0;  // 1 for versions 3 and 4, header byte 59 for version 5
};

// One catalogue entry. A light view: it stays valid as long as its catalogue does.
struct NavigatorEntry {
    std::uint16_t deviceType = 0;
    std::string_view componentName;  // Windows-1251 bytes, at most 15
    const NavigatorBaseFile* base = nullptr;

    const std::string& fileName() const { return base->fileName; }
    const std::string& description() const { return base->description; }
};

class NavigatorCatalogue {
public:
    NavigatorCatalogue() = default;
    NavigatorCatalogue(NavigatorCatalogue&&) = default;  // entries keep pointing at the files
    NavigatorCatalogue& operator=(NavigatorCatalogue&&) = default;
    NavigatorCatalogue(const NavigatorCatalogue&) = delete;
    NavigatorCatalogue& operator=(const NavigatorCatalogue&) = delete;

    // Appends an entry for every whole record of every base file directly in `folder` (names
    // ending in ".QDB" in any letter case; subfolders are not entered), files in file-name byte
    // order, records in file order. Versions 3 and 4 give device type 1, version 5 its header
    // byte 59 whatever it is; other versions and files too short for one record add nothing.
    // A file that cannot be opened or read (a folder named like a base too) adds nothing and
    // its problem (OpenFailed, Russian text naming the file and the reason) is returned; the
    // scan goes on. Only regular files are read (opened without blocking), each up to the size
    // fstat gave when it was opened; a file bigger than a base can be, or whose names would not
    // fit in memory, is refused with its problem. A folder that cannot be listed gives one
    // problem; callers skip folders that do not exist before calling, as start-up does.
    // Bases are known by their file (device and inode): a folder already scanned (given twice,
    // or reached through a link) and a file already listed (through another folder or a hard
    // link) add nothing. `cancelled` is asked between files and between blocks of a long file;
    // when it says true the scan stops, and the file being read adds nothing.
    std::vector<Error> addFolder(const std::filesystem::path& folder,
                                 const std::function<bool()>& cancelled = {});

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    // Entry i in catalogue order; O(log files).
    NavigatorEntry operator[](std::size_t i) const;
    // The record of its base file that entry i lists: 0 for the file's first record; O(log files).
    std::size_t recordInFile(std::size_t i) const;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = NavigatorEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = NavigatorEntry;

        const_iterator() = default;
        NavigatorEntry operator*() const;
        const_iterator& operator++();
        const_iterator operator++(int)
        {
            const_iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const const_iterator& other) const
        {
            return m_file == other.m_file && m_record == other.m_record;
        }

    private:
        friend class NavigatorCatalogue;
        const_iterator(const NavigatorCatalogue* catalogue, std::size_t file)
            : m_catalogue(catalogue), m_file(file)
        {}
        const NavigatorCatalogue* m_catalogue = nullptr;
        std::size_t m_file = 0;
        std::size_t m_record = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_files.size()}; }

private:
    static constexpr std::size_t kNameField = 16;  // clamped length byte, then 15 bytes

    struct FileEntries {
        NavigatorBaseFile base;
        std::size_t first = 0;  // catalogue index of its first entry
        std::string names;      // kNameField bytes per record; never empty
        std::size_t count() const { return names.size() / kNameField; }
    };
    static NavigatorEntry entryOf(const FileEntries& file, std::size_t record);
    const FileEntries& fileOf(std::size_t i) const;  // the file of entry i

    std::deque<FileEntries> m_files;  // a deque keeps each file's address as files are added
    std::size_t m_size = 0;
    // Device and inode of every folder scanned and every base file read.
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_foldersSeen;
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_filesSeen;
};

}  // namespace veltris

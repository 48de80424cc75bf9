#pragma once
// The part named in a parts list's text, looked up among the names of every base of a library:
// «Транзистор КТ315Б ЖК3.365.200 ТУ» names КТ315Б. Names are compared as the navigator compares
// them (namelookup.h): blanks, hyphens and letter case do not matter, a Latin letter stands for
// the Cyrillic one it looks like and the one it transliterates.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veltris {

class Catalogue;
struct LibraryFiles;

// One record of the library: file index into LibraryFiles::files, record of that file from 0.
struct LibraryPart {
    int file = 0;
    int row = 0;
};

// The names of every record of a library, sorted for lookups.
class PartNameIndex {
public:
    PartNameIndex(const LibraryFiles& library, const Catalogue& catalogue);

    std::size_t size() const { return m_parts.size(); }
    // Entry e, in library order (files as listed, records in file order).
    const std::string& name(std::size_t e) const { return m_names[e]; }  // Windows-1251
    LibraryPart part(std::size_t e) const { return m_parts[e]; }

    // The entries whose whole name the typed text is, in library order.
    std::vector<std::size_t> whole(std::string_view typedCp1251) const;
    // The entries whose name starts with the typed text and is longer, in library order.
    std::vector<std::size_t> startingWith(std::string_view typedCp1251) const;

private:
    std::vector<std::string> m_names;
    std::vector<LibraryPart> m_parts;
    std::vector<std::pair<std::string, std::uint32_t>> m_keys;  // nameIndexKey, entry; sorted
};

enum class NameStatus : std::uint8_t {
    Found,
    NotFound,
    Ambiguous
};

struct NameInText {
    NameStatus status = NameStatus::NotFound;
    // Found: the first entry of the part's name (the same name in other bases follows it in
    // `sameName`). Ambiguous: one entry for each different name it may be, in library order.
    std::vector<std::size_t> entries;
    std::vector<std::size_t> sameName;  // Found: other records of the same name
    std::string words;                  // UTF-8: the words of the text that named it
};

// The part a text names. Every run of one to three words holding a digit is tried as a whole
// name, the longest first at each word; the words it names are not tried again. One name
// found (in one base or several): that part. Several different names: ambiguous. None: the
// words of letters and digits are tried as the start of names («КТ315» for КТ315Б, КТ315Г), and
// what they find is judged alike.
NameInText findPartName(const PartNameIndex& index, std::string_view textUtf8);

}  // namespace veltris

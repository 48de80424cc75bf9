#pragma once
// CSV text split into records and fields, and what can be told about a file's dialect from its
// bytes: the encoding and the byte-order mark. Fields are separated by one separator character;
// a field that starts with a double quote runs to the closing quote, holds separators and line
// breaks, and writes a quote as two; lines end in CR LF, LF or CR. An empty line is no record,
// and a line that ends with the separator has no empty field after it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veltris {

enum class CsvEncoding : std::uint8_t {
    Cp1251,
    Utf8
};

// Whether the bytes start with the UTF-8 byte-order mark.
bool hasUtf8Bom(std::string_view bytes);
// The bytes without a leading UTF-8 byte-order mark.
std::string_view withoutUtf8Bom(std::string_view bytes);
// UTF-8 when the bytes start with the byte-order mark, or hold bytes above 127 that all form
// valid UTF-8 sequences; Windows-1251 otherwise (a Windows-1251 text of Cyrillic letters is
// never valid UTF-8).
CsvEncoding detectCsvEncoding(std::string_view bytes);
// The lines (from 1) of a text read as Windows-1251 whose bytes above 127 all form valid UTF-8
// sequences: pasted from a UTF-8 file, they would read as nonsense letters. At most `most`
// lines are named; `count` gets how many there are.
std::vector<int> utf8LinesIn(std::string_view bytes, std::size_t most, std::size_t& count);

// The most fields one record keeps (a title row of the longest length read has no more): a line
// of millions of separators costs no more memory than this.
inline constexpr std::size_t kMaxCsvFields = std::size_t{1} << 16;

struct CsvRecord {
    int line = 0;                          // the line the record starts on, from 1
    std::vector<std::string_view> fields;  // into the text, or into `unquoted`
    // The line held more than kMaxCsvFields fields: the rest were read over, not kept.
    bool cut = false;
    // The record ends inside a quoted field that was never closed (at the end of the text).
    bool openQuote = false;
    std::string unquoted;  // the texts of quoted fields, quotes taken off
};

class CsvSplitter {
public:
    // `text` must outlive the splitter and every record it fills.
    CsvSplitter(std::string_view text, char separator) : m_text(text), m_separator(separator) {}

    // The next record into `record` (its fields replaced); false at the end of the text.
    bool next(CsvRecord& record);

    // Where the next record is looked for, and the line it is on: a reader that took some lines
    // by a way of its own goes on from there with seek().
    std::size_t position() const { return m_pos; }
    int line() const { return m_line; }
    void seek(std::size_t position, int line)
    {
        m_pos = position;
        m_line = line;
    }

private:
    // A quoted field: its place among the fields and its text in CsvRecord::unquoted.
    struct Quoted {
        std::size_t field;
        std::size_t begin;
        std::size_t size;
    };
    bool atLineEnd(std::size_t i) const { return m_text[i] == '\n' || m_text[i] == '\r'; }
    // Steps over the line end at m_pos (CR LF counts as one).
    void skipLineEnd();
    // Reads the quoted field at m_pos into record.unquoted; returns where it starts there.
    std::size_t quotedField(CsvRecord& record);

    std::string_view m_text;
    char m_separator;
    std::size_t m_pos = 0;
    int m_line = 1;
    std::vector<Quoted> m_quoted;
};

}  // namespace veltris

#pragma once
// Records read from a CSV file into a base of one device type. The dialect (encoding and
// separator) and the device type are found out from the file unless given; the title row is
// matched to the type's columns; every cell is read by the rules of its column. A bad cell is
// named by its line, its column's title and its text. Either nothing is taken while any line is
// bad, or, when asked, the bad lines are left out and listed.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/componentbase.h"
#include "base/csvcells.h"
#include "base/csvheader.h"
#include "base/csvsplit.h"
#include "base/result.h"

namespace veltris {

class Catalogue;

struct CsvImportOptions {
    std::optional<CsvEncoding> encoding;  // found out from the bytes when not given
    char separator = 0;                   // ';', ',' or '\t'; 0: the one the title row reads best with
    int deviceType = 0;                   // 0: the type the titles name best
    // Records for this base: its device type, and the titles it shows.
    const ComponentBase* into = nullptr;
    bool skipBadLines = false;
    int previewRows = 0;      // the first data lines kept as they will be read
    std::string deviceLabel;  // Windows-1251: cell (0,0) of the new base
};

struct CsvProblem {
    int line = 0;
    int column = -1;      // main-table column; -1 for the whole line
    std::string message;  // UTF-8: "строка 17, «Uкэ max, В»: «45 В» — не число"
};

// One data line as it will be read, for a preview.
struct CsvPreviewRow {
    int line = 0;
    std::vector<std::string> cells;  // per main-table column, Windows-1251: the text the table will
                                     // show, or the file's own text for a bad cell
    std::vector<std::uint8_t> bad;   // per main-table column: 1 for a bad cell
    std::string lineProblem;         // UTF-8: a fault of the whole line
};

inline constexpr std::size_t kMaxListedProblems = 1000;

struct CsvImport {
    CsvEncoding encoding = CsvEncoding::Cp1251;
    bool byteOrderMark = false;
    char separator = ';';
    std::vector<std::string> titles;  // the title row, Windows-1251
    HeaderMatch header;
    // A new base of the type (default header, the titles' column map, the records read); with
    // `into`, records for that base (its column map). Lines with a problem are never in it.
    ComponentBase base;
    std::vector<CsvProblem> problems;  // the first kMaxListedProblems
    std::size_t problemCount = 0;
    std::vector<int> badLines;  // every line with a problem, in order
    std::vector<CsvPreviewRow> preview;
    bool skipBadLines = false;
    // UTF-8: what the user should look at although nothing is refused for it ("строка 7 …").
    std::vector<std::string> warnings;

    int recordCount() const { return base.recordCount(); }
    // Whether the records may be taken: no bad line, or bad lines to be left out.
    bool acceptable() const { return problemCount == 0 || skipBadLines; }
};

// Reads CSV bytes. A line of separators and blanks alone (a spreadsheet's empty row) holds no
// record. Errors (Generic, Russian text): no text (a zero byte, UTF-16); no title row; the device type cannot be told
// or has no catalogue; records for a base of another type; a title that is another name of a
// column the base shows; no title naming a column; OutOfMemory.
Result<CsvImport> importCsv(std::string_view bytes, const Catalogue& catalogue,
                            const CsvImportOptions& options);

// The longest title row read: the titles of every column fit into it many times over.
inline constexpr std::size_t kMaxTitleLine = std::size_t{64} << 10;
// What can be told from the start of a file before the whole is read (importCsv checks it
// too): Error (Generic, Russian) for a zero byte (no text file holds one), UTF-16, or a first
// line that runs on past kMaxTitleLine (a file of one huge line). `bytes`: the whole file or its
// first kMaxTitleLine + 1 bytes at least.
Status checkCsvStart(std::string_view bytes);

// "строка 17, «Uкэ max, В»: «45 В» — не число" (texts in UTF-8; a long text is shortened).
std::string cellProblemMessage(int line, std::string_view title, std::string_view text, CellFault fault);

// "Кодировка: UTF-8 (с меткой порядка байтов), разделитель: «,»"-style names of a dialect.
const char* encodingName(CsvEncoding encoding);  // "Windows-1251", "UTF-8"
std::string separatorName(char separator);       // "«;»", "«,»", "табуляция"

}  // namespace veltris

#include "base/workbookcsv.h"

#include "base/xlsxread.h"

namespace veltris {

Result<std::string> workbookAsCsv(std::string_view bytes, std::string_view sheetName)
{
    auto sheet = readWorkbookSheet(bytes, sheetName);
    if (!sheet)
        return sheet.error();
    std::string out;
    int line = 1;
    for (const SheetRow& row : sheet->rows) {
        for (; line < row.line; ++line)
            out += "\r\n";
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            if (c > 0)
                out += ';';
            std::string text = row.cells[c];
            if (c < row.numbers.size() && row.numbers[c] != 0)
                for (char& ch : text)
                    ch = ch == '.' ? ',' : ch;
            if (text.find_first_of(";\"\r\n") == std::string::npos) {
                out += text;
                continue;
            }
            out += '"';
            for (const char ch : text) {
                if (ch == '"')
                    out += '"';
                out += ch;
            }
            out += '"';
        }
        out += "\r\n";
        ++line;
    }
    return out;
}

}  // namespace veltris

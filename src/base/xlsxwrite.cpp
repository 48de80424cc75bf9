#include "base/xlsxwrite.h"

#include <algorithm>
#include <cstdlib>

#include <unistd.h>
#include <xlsxwriter.h>

#include "base/fileio.h"

namespace veltris {

namespace {

// Letters on the screen, not bytes.
std::size_t letters(std::string_view utf8)
{
    std::size_t n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// A sheet name as a workbook allows it: at most 31 letters, none of []:*?/\.
std::string sheetNameOf(std::string_view wanted)
{
    std::string out;
    std::size_t n = 0;
    for (std::size_t i = 0; i < wanted.size() && n < 31;) {
        std::size_t len = 1;
        const auto b = static_cast<unsigned char>(wanted[i]);
        if (b >= 0xF0)
            len = 4;
        else if (b >= 0xE0)
            len = 3;
        else if (b >= 0xC0)
            len = 2;
        const std::string_view ch = wanted.substr(i, len);
        if (ch.size() == 1 && std::string_view("[]:*?/\\").find(ch[0]) != std::string_view::npos)
            out += ' ';
        else
            out += ch;
        i += len;
        ++n;
    }
    return out.empty() ? "Лист1" : out;
}

Error libraryError(lxw_error e)
{
    return Error{ErrorKind::WriteFailed, "Не удалось составить книгу XLSX", lxw_strerror(e)};
}

// A temporary file removed on leaving.
struct TempPath {
    std::string path;
    ~TempPath()
    {
        if (!path.empty())
            ::unlink(path.c_str());
    }
};

}  // namespace

Result<std::string> xlsxBytes(const ResultTable& table, std::string_view sheetName)
{
    // The library writes to a named file only: a private temporary file, read back and removed.
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/veltris-xlsx-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return Error{ErrorKind::WriteFailed, "Не удалось создать временный файл книги XLSX"};
    ::close(fd);
    TempPath temp{pattern};

    lxw_workbook_options options{};
    options.constant_memory = 1;  // rows go out as they are written: memory stays small
    lxw_workbook* workbook = workbook_new_opt(temp.path.c_str(), &options);
    if (workbook == nullptr)
        return Error{ErrorKind::WriteFailed, "Не удалось составить книгу XLSX"};
    const std::string name = sheetNameOf(sheetName);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, name.c_str());
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    format_set_text_wrap(bold);
    format_set_align(bold, LXW_ALIGN_VERTICAL_TOP);

    // Column widths from the texts (before any row is written: constant memory writes in order).
    std::vector<std::size_t> width(table.titles.size(), 6);
    for (std::size_t c = 0; c < table.titles.size(); ++c)
        width[c] = std::max<std::size_t>(width[c], std::min<std::size_t>(letters(table.titles[c]), 24));
    for (const auto& row : table.rows)
        for (std::size_t c = 0; c < row.size() && c < width.size(); ++c)
            width[c] = std::max(width[c], std::min<std::size_t>(letters(row[c].text), 60));
    for (std::size_t c = 0; c < width.size(); ++c)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                             static_cast<double>(width[c]) + 1.5, nullptr);
    worksheet_freeze_panes(sheet, 1, static_cast<lxw_col_t>(std::max(table.frozenColumns, 0)));

    lxw_error e = LXW_NO_ERROR;
    for (std::size_t c = 0; c < table.titles.size() && e == LXW_NO_ERROR; ++c)
        e = worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), table.titles[c].c_str(), bold);
    for (std::size_t r = 0; r < table.rows.size() && e == LXW_NO_ERROR; ++r) {
        const auto& row = table.rows[r];
        const auto at = static_cast<lxw_row_t>(r + 1);
        for (std::size_t c = 0; c < row.size() && e == LXW_NO_ERROR; ++c) {
            const ResultCell& cell = row[c];
            if (cell.number)
                e = worksheet_write_number(sheet, at, static_cast<lxw_col_t>(c), *cell.number, nullptr);
            else if (!cell.text.empty())
                e = worksheet_write_string(sheet, at, static_cast<lxw_col_t>(c), cell.text.c_str(), nullptr);
        }
    }
    const lxw_error closed = workbook_close(workbook);
    if (e != LXW_NO_ERROR)
        return libraryError(e);
    if (closed != LXW_NO_ERROR)
        return libraryError(closed);
    auto bytes = readFileBytes(temp.path, std::uint64_t{4} << 30);
    if (!bytes)
        return Error{ErrorKind::WriteFailed, "Не удалось составить книгу XLSX", bytes.error().message};
    return std::move(*bytes);
}

Status writeXlsx(const std::filesystem::path& path, const ResultTable& table, std::string_view sheetName)
{
    auto bytes = xlsxBytes(table, sheetName);
    if (!bytes)
        return bytes.error();
    return writeFileAtomic(path, *bytes);
}

}  // namespace veltris

#include "base/csvexport.h"

#include "base/fileio.h"

namespace veltris {

std::string csvBytes(const Table& table)
{
    const int rows = table.rowCount();
    const int cols = table.columnCount();
    size_t size = static_cast<size_t>(rows) * (static_cast<size_t>(cols) + 2);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            size += table.at(r, c).size();
    std::string out;
    out.reserve(size);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const std::string& text = table.at(r, c);
            if (text != "0")  // an absent value is exported empty
                out += text;
            out += ';';
        }
        out += "\r\n";
    }
    return out;
}

Status writeCsv(const Table& table, const std::filesystem::path& path)
{
    return writeFileAtomic(path, csvBytes(table), "Ошибка записи в файл");
}

}  // namespace veltris

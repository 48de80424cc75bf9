#include "base/csvexport.h"

#include "base/fileio.h"

namespace veltris {

std::string csvBytes(const Table& table)
{
    const int rows = table.rowCount();
    const int cols = table.columnCount();
    std::string out;
    out.reserve(static_cast<size_t>(rows) * (static_cast<size_t>(cols) * 5 + 2));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const size_t start = out.size();
            table.appendCell(r, c, out);
            if (out.size() == start + 1 && out[start] == '0')
                out.resize(start);  // an absent value is exported empty
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

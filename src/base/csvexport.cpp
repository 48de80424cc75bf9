#include "base/csvexport.h"

#include "base/csvcells.h"
#include "base/devicetype.h"
#include "base/fileio.h"

namespace veltris {

std::string csvBytes(const Table& table, int colourColumn)
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
            else if (r > 0 && (c == 0 || c == colourColumn) && out.size() > start &&
                     needsFormulaGuard(std::string_view(out).substr(start)))
                out.insert(start, 1, '\'');
            out += ';';
        }
        out += "\r\n";
    }
    return out;
}

Status writeCsv(const Table& table, const std::filesystem::path& path, int colourColumn)
{
    return writeFileAtomic(path, csvBytes(table, colourColumn), "Ошибка записи в файл");
}

int csvColourColumn(int deviceType)
{
    const DeviceType* type = findDeviceType(deviceType);
    return type && type->colourColumn > 0 ? type->colourColumn : -1;
}

}  // namespace veltris

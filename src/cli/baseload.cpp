#include "cli/baseload.h"

#include <new>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/devicetype.h"
#include "base/fileio.h"

namespace qdb {

using namespace veltris;

namespace {

std::string firstLine(const std::string& text)
{
    const auto end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace

std::string defaultDeviceLabel()
{
    return utf8ToCp1251("Тип прибора");
}

namespace {

Result<ComponentBase> loadBase(const std::filesystem::path& file, const std::filesystem::path& catalogueDir,
                               std::string_view deviceLabelCp1251)
{
    auto bytes = readFileBytes(file, maxBaseFileSize());
    if (!bytes && bytes.error().kind == ErrorKind::OutOfMemory)
        throw std::bad_alloc();  // said as for a base that fits the file but not its cells
    if (!bytes)
        return bytes.error();

    Catalogue catalogue;
    if (bytes->size() >= static_cast<size_t>(kLeadSize)) {
        const int code = headerDeviceType(reinterpret_cast<const std::uint8_t*>(bytes->data()));
        if (findDeviceType(code) != nullptr) {
            const Status loaded = catalogue.loadType(catalogueDir, code);
            if (!loaded) {
                return Error{loaded.error().kind, firstLine(loaded.error().message) + " (папка каталога «" +
                                                      catalogueDir.string() + "»)"};
            }
        }
    }

    auto base = decodeBaseKeeping(std::move(*bytes), catalogue);
    if (!base)
        return Error{base.error().kind, "«" + file.string() + "»: " + base.error().message};
    if (base->table.rowCount() > 0 && base->table.columnCount() > 0)
        base->table.setCell(0, 0, deviceLabelCp1251);
    return base;
}

}  // namespace

Result<ComponentBase> loadBaseForCli(const std::filesystem::path& file,
                                     const std::filesystem::path& catalogueDir,
                                     std::string_view deviceLabelCp1251)
{
    try {
        return loadBase(file, catalogueDir, deviceLabelCp1251);
    } catch (const std::bad_alloc&) {
        return Error{ErrorKind::OutOfMemory, "«" + file.string() + "»: " + outOfMemoryError().message};
    }
}

}  // namespace qdb

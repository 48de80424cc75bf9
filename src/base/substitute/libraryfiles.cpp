#include "base/substitute/libraryfiles.h"

#include <utility>

#include "base/basefile.h"
#include "base/componentbase.h"
#include "base/fileio.h"
#include "base/navigatorcatalogue.h"
#include "base/recordcells.h"

namespace veltris {

namespace {

// The device type of a base file's bytes; an error when the base reader refuses them.
Result<int> deviceTypeOf(std::string_view bytes, const std::string& fileName, const Catalogue& catalogue)
{
    if (record::plainBaseBytes(bytes))
        return record::RecordCells(bytes, catalogue).deviceType();
    auto base = decodeBase(bytes, catalogue);
    if (!base)
        return Error{base.error().kind, "«" + fileName + "»: " + base.error().message};
    return base->deviceType;
}

bool alreadyThere(const LibraryFiles& library, const FileIdentity& identity)
{
    for (const LibraryFile& f : library.files)
        if (f.identity.sameFile(identity))
            return true;
    return false;
}

}  // namespace

void LibraryFiles::forEachName(std::size_t f, const Catalogue& catalogue,
                               const std::function<void(int, std::string_view)>& visit) const
{
    const std::string& bytes = files[f].bytes;
    if (record::plainBaseBytes(bytes)) {
        const record::RecordCells cells(bytes, catalogue);
        const auto n = static_cast<int>(cells.records());
        for (int r = 0; r < n; ++r)
            visit(r, cells.name(r));
        return;
    }
    const auto base = decodeBase(bytes, catalogue);
    if (!base)
        return;
    for (int r = 0; r < base->recordCount(); ++r)
        visit(r, base->table.cell(r + 1, 0));
}

LibraryFiles readLibraryFiles(const NavigatorCatalogue& navigator, const Catalogue& catalogue, int deviceType,
                              const std::function<bool()>& cancelled)
{
    LibraryFiles library;
    const NavigatorBaseFile* last = nullptr;
    for (const NavigatorEntry entry : navigator) {
        if (entry.base == last || (deviceType != 0 && entry.deviceType != deviceType))
            continue;
        last = entry.base;
        if (cancelled && cancelled()) {
            library.cancelled = true;
            return library;
        }
        LibraryFile file;
        file.fileName = entry.fileName();
        const auto read = readWholeFile(file.fileName, file.bytes, ReadLimits{maxBaseFileSize(), cancelled});
        if (!read && read.error().kind == ErrorKind::Cancelled) {
            library.cancelled = true;
            return library;
        }
        if (!read) {
            library.problems.push_back(read.error());
            continue;
        }
        file.bytes.resize(read->size);
        file.identity = read->identity;
        auto type = deviceTypeOf(file.bytes, file.fileName, catalogue);
        if (!type) {
            library.problems.push_back(type.error());
            continue;
        }
        file.deviceType = *type;
        library.files.push_back(std::move(file));
    }
    return library;
}

Status addLibraryFile(LibraryFiles& into, const std::filesystem::path& path, const Catalogue& catalogue)
{
    LibraryFile file;
    file.fileName = path.string();
    const auto read = readWholeFile(path, file.bytes, ReadLimits{maxBaseFileSize(), {}});
    if (!read)
        return read.error();
    if (alreadyThere(into, read->identity))
        return {};
    file.bytes.resize(read->size);
    file.identity = read->identity;
    auto type = deviceTypeOf(file.bytes, file.fileName, catalogue);
    if (!type)
        return type.error();
    file.deviceType = *type;
    into.files.push_back(std::move(file));
    return {};
}

}  // namespace veltris

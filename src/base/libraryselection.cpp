#include "base/libraryselection.h"

#include <cmath>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/devicetype.h"
#include "base/recordcells.h"
#include "base/selectionrows.h"

namespace veltris {

namespace {

// |A| and |B| from a stored cell where its text would read the same (as the selection over a
// table reads its stored cells); false for cells only the text can tell.
bool storedCellEnds(const record::StoredCell& c, double& a, double& b)
{
    switch (c.kind) {
    case CellKind::Value:
        if (c.classes == kValueOther)
            return false;
        a = b = std::fabs(readBack(c.a, c.classes));
        return true;
    case CellKind::Range: {
        if ((c.classes & 0x3) == kValueOther || (c.classes >> 2) == kValueOther)
            return false;
        const double lo = readBack(c.a, c.classes & 0x3);
        const double hi = readBack(c.b, c.classes >> 2);
        a = std::fabs(lo);
        b = std::fabs(std::fabs(c.a - c.b) <= 0.0001 ? std::fabs(lo) : hi);
        return true;
    }
    case CellKind::Drawing: a = b = std::fabs(static_cast<double>(c.drawing)); return true;
    default: return false;
    }
}

Error inFile(const LibraryFile& file, Error e)
{
    e.message = "«" + file.fileName + "»: " + e.message;
    return e;
}

}  // namespace

Result<LibrarySelection> selectInLibrary(const LibraryFiles& library, const Catalogue& catalogue,
                                         int deviceType, std::span<const BoundTexts> bounds,
                                         const std::function<std::string(int)>& titleOf)
{
    LibrarySelection out;
    const auto title = [&](int column) {
        return titleOf ? titleOf(column) : catalogue.name(deviceType, column, 1);
    };
    auto prepared = prepareBounds(bounds, title);
    if (!prepared)
        return prepared.error();
    if (prepared->noCriteria) {
        out.noCriteria = true;
        return out;
    }
    if (prepared->active.empty())
        return out;
    for (std::size_t f = 0; f < library.files.size(); ++f) {
        const LibraryFile& file = library.files[f];
        if (file.deviceType != deviceType)
            continue;
        if (!record::plainBaseBytes(file.bytes)) {
            auto base = decodeBase(file.bytes, catalogue);
            if (!base)
                return inFile(file, base.error());
            auto selected = selectComponents(base->table, bounds);
            if (!selected)
                return inFile(file, selected.error());
            for (const int r : selected->rows)
                out.hits.push_back({static_cast<int>(f), r - 1, base->table.cell(r, 0)});
            continue;
        }
        const record::RecordCells cells(file.bytes, catalogue);
        const auto ends = [&](int k, int column, double& a, double& b, Error& error) {
            if (storedCellEnds(cells.storedCell(k, column), a, b))
                return true;
            return cellEndsFromText(cells.cellText(k, column), a, b, error);
        };
        auto rows =
            selectRows(*prepared, 0, static_cast<int>(cells.records()), tableColumnCount(deviceType), ends);
        if (!rows)
            return inFile(file, rows.error());
        for (const int r : *rows)
            out.hits.push_back({static_cast<int>(f), r, std::string(cells.name(r))});
    }
    return out;
}

}  // namespace veltris

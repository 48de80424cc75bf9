#include "search/comparison.h"

#include <map>

#include "base/basefile.h"
#include "base/componentbase.h"
#include "base/cp1251.h"

ComparedPart comparedPart(const veltris::ComponentBase& base, int row, const QString& file)
{
    ComparedPart part;
    const veltris::Table& t = base.table;
    part.deviceType = base.deviceType;
    part.name = t.cell(row, 0);
    part.baseFile = file;
    part.row = row;
    part.cells.reserve(static_cast<std::size_t>(t.columnCount()));
    part.titles.reserve(static_cast<std::size_t>(t.columnCount()));
    for (int c = 0; c < t.columnCount(); ++c) {
        part.cells.push_back(t.cell(row, c));
        part.titles.push_back(t.cell(0, c));
    }
    return part;
}

veltris::Result<std::vector<ComparedPart>> readComparedParts(const std::vector<PartAddress>& where,
                                                             const veltris::Catalogue& catalogue)
{
    std::map<std::string, veltris::ComponentBase> bases;
    std::vector<ComparedPart> parts;
    for (const PartAddress& a : where) {
        auto it = bases.find(a.file);
        if (it == bases.end()) {
            auto base = veltris::readBase(std::filesystem::path(a.file), catalogue);
            if (!base)
                return base.error();
            it = bases.emplace(a.file, std::move(*base)).first;
        }
        const veltris::ComponentBase& base = it->second;
        // A record's name is kept in 15 bytes; a longer one in memory is compared by them.
        const auto kept = [](std::string_view name) { return name.substr(0, 15); };
        if (a.row < 1 || a.row > base.recordCount() ||
            (!a.name.empty() && kept(base.table.cell(a.row, 0)) != kept(a.name)))
            return veltris::Error{veltris::ErrorKind::Generic, "Записи " + veltris::cp1251ToUtf8(a.name) +
                                                                   " в базе " + a.file +
                                                                   " на прежнем месте нет: база изменилась."};
        parts.push_back(comparedPart(base, a.row, QString::fromStdString(a.file)));
    }
    return parts;
}

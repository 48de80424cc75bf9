#include "base/partslistsearch.h"

#include <algorithm>
#include <utility>

#include "base/basefile.h"
#include "base/devicetype.h"

namespace veltris {

const std::vector<std::string>& PartsListResult::titlesOf(int file) const
{
    static const std::vector<std::string> none;
    const auto it = titles.find(file);
    return it == titles.end() ? none : it->second;
}

namespace {

std::vector<std::string> columnTitles(const ComponentBase& base)
{
    std::vector<std::string> titles;
    titles.reserve(static_cast<std::size_t>(base.table.columnCount()));
    for (int c = 0; c < base.table.columnCount(); ++c)
        titles.push_back(base.table.cell(0, c));
    return titles;
}

// Whether the chosen bases hold the file `file` of the library.
const LibraryFile* chosenCopy(const LibraryFiles& chosen, const LibraryFile& file)
{
    for (const LibraryFile& f : chosen.files)
        if (f.identity.sameFile(file.identity) || f.fileName == file.fileName)
            return &f;
    return nullptr;
}

void searchLine(PartsLineResult& out, const ComponentBase& base, const LibraryFile& file,
                const LibraryFiles& library, const Catalogue& catalogue,
                const PartsListSearchOptions& options)
{
    const RuleSet rules = options.rules ? options.rules(base.deviceType) : RuleSet{};
    const FinderSource source = finderSourceFromBase(base, sourceColumns(base.deviceType, rules));
    auto query = makeQuery(source, out.row, rules, options.nearMisses, options.top);
    if (!query) {
        out.problem = query.error();
        return;
    }
    query->unknownFails = options.unknownFails;
    switch (options.scope) {
    case ReplacementScope::OwnBase: out.report = findInBase(*query, base, file.fileName, {}, true); break;
    case ReplacementScope::Library:
        out.report = findInFiles(*query, &base, file.fileName, library.files, catalogue);
        break;
    case ReplacementScope::Chosen: {
        static const LibraryFiles nothing;
        const LibraryFiles& chosen = options.chosen != nullptr ? *options.chosen : nothing;
        const LibraryFile* own = chosenCopy(chosen, file);
        out.report = own != nullptr ? findInFiles(*query, &base, own->fileName, chosen.files, catalogue)
                                    : findInFiles(*query, nullptr, {}, chosen.files, catalogue);
        break;
    }
    }
    out.query = std::move(*query);
}

}  // namespace

PartsListResult searchPartsList(const PartsList& list, const LibraryFiles& library,
                                const PartNameIndex& names, const Catalogue& catalogue,
                                const PartsListSearchOptions& options, const FinderProgress& progress)
{
    PartsListResult result;
    result.lines.reserve(list.lines.size());
    std::map<int, ComponentBase> bases;  // reference bases read so far
    for (std::size_t k = 0; k < list.lines.size(); ++k) {
        if (progress && !progress(k, list.lines.size())) {
            result.cancelled = true;
            return result;
        }
        PartsLineResult& out = result.lines.emplace_back();
        out.line = list.lines[k];
        out.name = findPartName(names, out.line.text);
        if (out.name.status != NameStatus::Found)
            continue;
        const LibraryPart part = names.part(out.name.entries.front());
        out.partName = names.name(out.name.entries.front());
        out.file = part.file;
        out.row = part.row;
        const LibraryFile& file = library.files[static_cast<std::size_t>(part.file)];
        auto it = bases.find(part.file);
        if (it == bases.end()) {
            auto base = decodeBase(file.bytes, catalogue);
            if (!base) {
                out.problem = Error{base.error().kind, "«" + file.fileName + "»: " + base.error().message};
                continue;
            }
            result.titles[part.file] = columnTitles(*base);
            it = bases.emplace(part.file, std::move(*base)).first;
        }
        if (findDeviceType(it->second.deviceType) == nullptr) {
            out.problem = Error{ErrorKind::Generic, "тип прибора базы не поддерживается"};
            continue;
        }
        searchLine(out, it->second, file, library, catalogue, options);
    }
    if (progress)
        progress(list.lines.size(), list.lines.size());
    return result;
}

}  // namespace veltris

#pragma once
// A small hand-made library with known answers, shared by the finder's core tests and the
// page «Замена»: a reference transistor, its true substitutes, its near misses and parts that
// must not match because of structure or package.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/cp1251.h"
#include "base/devicetype.h"
#include "base/table.h"

namespace handmade {

using namespace veltris;

inline std::string cp(const char* utf8)
{
    return utf8ToCp1251(utf8);
}

inline const Catalogue& shippedCatalogue()
{
    static const CatalogueLoad load = loadCatalogues(VELTRIS_SOURCE_DIR "/data");
    return load.catalogue;
}

// A base of `type` with titles from the shipped catalogue; each record is a name and the texts
// of the columns given (column number -> UTF-8 text), the other cells empty.
inline ComponentBase makeBase(int type,
                              const std::vector<std::pair<const char*, std::map<int, const char*>>>& rows,
                              int mapColumn = 0, int mapEntry = 1)
{
    ComponentBase b;
    b.deviceType = static_cast<std::uint16_t>(type);
    b.columnMap.fill(1);
    if (mapColumn > 0)
        b.columnMap[static_cast<std::size_t>(mapColumn - 1)] = static_cast<std::uint8_t>(mapEntry);
    b.table = Table(1, tableColumnCount(type));
    b.applyTitles(shippedCatalogue());
    for (const auto& [name, cells] : rows) {
        b.table.appendRow();
        const int r = b.table.rowCount() - 1;
        b.table.setCell(r, 0, cp(name));
        for (const auto& [c, text] : cells)
            b.table.setCell(r, c, cp(text));
    }
    return b;
}

// The parameters the parts are judged by: structure (1), Uкэ max (2), Iк max (5), h21э (14),
// fгр (15), Cк (16), package (30).
inline std::map<int, const char*> part(const char* uce, const char* ic, const char* gain, const char* ft,
                                       const char* ck, const char* structure = "1", const char* package = "7")
{
    return {{1, structure}, {2, uce}, {5, ic}, {14, gain}, {15, ft}, {16, ck}, {30, package}};
}

inline ComponentBase handMadeBase()
{
    return makeBase(1, {
                           {"КТ315Б", part("20", "100", "50-350", ">250", "<7")},  // the reference
                           {"ЗАМЕНА1", part("25", "100", "50-350", "300", "5")},   // closest substitute
                           {"ЗАМЕНА2", part(">40", "150", "100-300", ">300", "<6")},
                           {"ЗАМЕНА3", part("<60", "100", "50-350", "300", "")},   // Uкэ and Cк unknown
                           {"ПОЧТИ1", part("15", "100", "50-350", "300", "5")},    // Uкэ too low
                           {"ПОЧТИ2", part("<15", "100", "60", ">300", "5")},      // at most 15 V: too low
                           {"ПОЧТИ3", part("30", "50", "20-600", "300", "10")},    // three failures
                           {"PNP", part("25", "100", "50-350", "300", "5", "2")},  // wrong structure
                           {"КОРПУС", part("25", "100", "50-350", "300", "5", "1", "29")},  // wrong package
                       });
}

}  // namespace handmade

// The finder reads library bases straight from their record bytes; the window and qdb read the
// open base through the base store. Both views of the same bytes must agree to the bit: the same
// refusals, names, unit scales and, cell by cell, the same ends, known flags and colour keys.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/devicetype.h"
#include "base/finder.h"
#include "fuzzcheck.h"

using namespace veltris;

namespace {

// Titles with and without units, so the unit scales of both readers are compared too.
const Catalogue& catalogue()
{
    static const Catalogue c = [] {
        const char* names[] = {"Iк max,|мА", "Uкэ max,|В", "fгр,|МГц", "Cк,|пФ", "h21э", "P,|Вт"};
        Catalogue cat;
        for (const DeviceType& t : supportedDeviceTypes()) {
            std::string ini;
            for (int col = 1; col <= t.columnCount; ++col) {
                ini += "[Col_" + std::to_string(col) + "]\nCount=3\n";
                for (int n = 1; n <= 3; ++n)
                    ini += "Name_" + std::to_string(n) + "=" +
                           utf8ToCp1251(names[(col + n) % std::size(names)]) + "\n";
            }
            if (!cat.loadTypeFromBytes(t.code, ini).ok())
                fuzzcheck::fail(__FILE__, __LINE__);
        }
        return cat;
    }();
    return c;
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void compare(const FinderSource& direct, const FinderSource& stored)
{
    check(direct.deviceType() == stored.deviceType());
    check(direct.rowCount() == stored.rowCount());
    check(direct.columnCount() == stored.columnCount());
    for (int r = 0; r < direct.rowCount(); ++r)
        check(direct.name(r) == stored.name(r));
    for (int c = 1; c <= direct.columnCount(); ++c) {
        const FinderSource::Column& a = direct.column(c);
        const FinderSource::Column& b = stored.column(c);
        check(a.built == b.built);
        if (!a.built)
            continue;
        check(a.text == b.text);
        check(a.unit.dimension == b.unit.dimension && sameBits(a.unit.scale, b.unit.scale) &&
              a.unit.text == b.unit.text);
        check(a.key == b.key && a.known == b.known);
        check(a.lo.size() == b.lo.size() && a.hi.size() == b.hi.size());
        for (std::size_t i = 0; i < a.lo.size(); ++i)
            check(sameBits(a.lo[i], b.lo[i]) && sameBits(a.hi[i], b.hi[i]));
    }
}

}  // namespace

// The first byte picks the columns read (none picked: all of them); the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    std::vector<int> columns;
    for (int bit = 0; bit < 8; ++bit)
        if (data[0] >> bit & 1)
            columns.push_back(1 + bit * 4 + (data[0] & 3));
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    auto direct = finderSourceFromBytes(bytes, catalogue(), columns);
    auto base = decodeBase(bytes, catalogue());
    check(direct.ok() == base.ok());
    if (!base.ok()) {
        check(direct.error().kind == base.error().kind);
        check(direct.error().message == base.error().message);
        return 0;
    }
    if (findDeviceType(base->deviceType) == nullptr)
        return 0;  // no layout: the finder does not judge such a base
    compare(*direct, finderSourceFromBase(*base, columns));
    return 0;
}

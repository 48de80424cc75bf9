// Feeds arbitrary bytes to the base reader; whatever loads and saves must load again and settle
// on the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/csvexport.h"
#include "base/devicetype.h"
#include "base/tableops.h"

using namespace veltris;

namespace {

const Catalogue& catalogue()
{
    static const Catalogue c = [] {
        Catalogue cat;
        for (const DeviceType& t : supportedDeviceTypes()) {
            std::string ini;
            for (int col = 1; col <= t.columnCount; ++col)
                ini += "[Col_" + std::to_string(col) + "]\nCount=3\nName_1=a\nName_2=b|c\nName_3=d\n";
            if (!cat.loadTypeFromBytes(t.code, ini).ok())
                std::abort();
        }
        return cat;
    }();
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto base = decodeBase(bytes, catalogue());
    if (!base.ok())
        return 0;
    (void)csvBytes(base->table);
    Table second;
    rebuildSecondTable(*base, second);

    auto saved = encodeBase(*base);
    if (saved.ok()) {
        // A save may normalise texts: the LED colour keeps only its letters; NaN becomes 0. Within a few rounds load + save must reach a fixed point, and
        // names never change.
        std::string current = *saved;
        bool stable = false;
        for (int round = 0; round < 4 && !stable; ++round) {
            auto again = decodeBase(current, catalogue());
            if (!again.ok() || again->table.rowCount() != base->table.rowCount())
                std::abort();
            for (int r = 0; r < base->table.rowCount(); ++r)
                if (again->table.cell(r, 0) != base->table.cell(r, 0))
                    std::abort();
            auto next = encodeBase(*again);
            if (!next.ok())
                std::abort();
            stable = *next == current;
            current = std::move(*next);
        }
        if (!stable)
            std::abort();
    }
    Table copy = base->table;
    (void)sortTableRows(copy, 1);
    (void)sortTableRows(copy, 0);
    return 0;
}

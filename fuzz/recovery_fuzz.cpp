// Feeds arbitrary bytes to the recovery-file reader: the header alone and the whole file must
// agree (the same refusals, the same header), and whatever reads back writes again into a file
// that reads as the same header and the same cells.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/catalogue.h"
#include "base/devicetype.h"
#include "base/recovery.h"
#include "fuzzcheck.h"

using namespace veltris;

namespace {

const Catalogue& catalogue()
{
    static const Catalogue c = [] {
        Catalogue cat;
        for (const DeviceType& t : supportedDeviceTypes()) {
            std::string ini;
            for (int col = 1; col <= t.columnCount; ++col)
                ini += "[Col_" + std::to_string(col) + "]\nCount=2\nName_1=a\nName_2=b|c\n";
            if (!cat.loadTypeFromBytes(t.code, ini).ok())
                std::abort();
        }
        return cat;
    }();
    return c;
}

bool sameInfo(const RecoveryInfo& a, const RecoveryInfo& b)
{
    return a.basePath == b.basePath && a.owner.toText() == b.owner.toText() &&
           a.identity.exists == b.identity.exists &&
           (!a.identity.exists ||
            (a.identity.sameStat(b.identity) && a.identity.hashed == b.identity.hashed &&
             a.identity.hash == b.identity.hash));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto info = decodeRecoveryInfo(bytes);
    auto whole = decodeRecovery(bytes, catalogue());
    // A file whose header cannot be read is refused whole; one read whole has that header.
    if (!info.ok()) {
        check(!whole.ok());
        return 0;
    }
    if (!whole.ok())
        return 0;  // the base behind a good header may be damaged
    check(sameInfo(*info, whole->info));

    auto written = encodeRecovery(whole->info, whole->base);
    if (!written.ok())
        return 0;  // a cell no text keeps (the writer names it)
    auto again = decodeRecovery(*written, catalogue());
    check(again.ok());
    check(sameInfo(again->info, whole->info));
    const Table& t = whole->base.table;
    const Table& u = again->base.table;
    check(u.rowCount() == t.rowCount() && u.columnCount() == t.columnCount());
    // Cell (0,0) is the caller's (the device label); every other cell comes back as it was.
    for (int r = 0; r < t.rowCount(); ++r)
        for (int c = r == 0 ? 1 : 0; c < t.columnCount(); ++c)
            check(u.cell(r, c) == t.cell(r, c));
    return 0;
}

// A base read from its own bytes keeps them as its record image, and its save copies the
// records nobody changed; the same base read without the image encodes every cell. After the
// same changes (chosen by the input's first bytes) both saves must write the same bytes, or
// fail at the same cell.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "fuzzcheck.h"
#include "recordedits.h"

using namespace veltris;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    constexpr size_t kChanges = 3;
    if (size < 3 * kChanges)
        return 0;
    const std::string_view file(reinterpret_cast<const char*>(data) + 3 * kChanges, size - 3 * kChanges);
    static const Catalogue none;
    auto slow = decodeBase(file, none);
    auto fast = decodeBaseKeeping(std::string(file), none);
    check(slow.ok() == fast.ok());
    if (!slow.ok())
        return 0;
    for (size_t k = 0; k <= kChanges; ++k) {
        const auto a = encodeBase(*slow);
        const auto b = encodeBase(*fast);
        check(a.ok() == b.ok());
        if (a.ok())
            check(*a == *b);
        else
            check(a.error().row == b.error().row && a.error().column == b.error().column);
        if (k == kChanges)
            break;
        recordedits::apply(*slow, data[3 * k], data[3 * k + 1], data[3 * k + 2]);
        recordedits::apply(*fast, data[3 * k], data[3 * k + 1], data[3 * k + 2]);
    }
    return 0;
}

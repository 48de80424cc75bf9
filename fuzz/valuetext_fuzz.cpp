// Feeds arbitrary bytes to the value-text parsers. Parsers never accept a value they cannot show;
// every text the writer makes reads back, and a second round changes nothing.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/valuetext.h"
#include "fuzzcheck.h"

using namespace veltris;

namespace {

// The number a written text stands for, read back through the filter as the editor does.
double readBack(const std::string& text)
{
    auto v = parseNumber(numericFilter(text));
    check(v.ok());
    return *v;
}

void checkNumberText(double v)
{
    if (!std::isfinite(v))
        return;
    const std::string text = numberText(v);
    const double back = readBack(text);
    // 15 significant digits: the text is within a relative 1E-14 of the value.
    check(std::fabs(back - v) <= std::fabs(v) * 1e-14 || std::fabs(v) < 1e-300);
    check(numberText(back) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // The raw bytes as a double, and every number that any parser accepts.
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        checkNumberText(raw);
    }

    const std::string filtered = numericFilter(text);
    if (auto n = parseNumber(filtered)) {
        check(std::isfinite(*n));
        checkNumberText(*n);
    } else {
        check(n.error().kind == ErrorKind::InvalidNumber);
    }

    if (auto r = parseRange(filtered)) {
        check(std::isfinite(r->a) && std::isfinite(r->b));
        checkNumberText(r->a);
        checkNumberText(r->b);
        // A written range reads back as a range. Ends that agree closely show as one number,
        // which reads back as -A..A when negative; from the second writing on the text is settled.
        const std::uint8_t flags = flagsOfText(text);
        std::string shown = rangeValueText(flags, r->a, r->b);
        for (int round = 0; round < 2; ++round) {
            auto back = parseRange(numericFilter(shown));
            check(back.ok());
            const std::string again = rangeValueText(flags, back->a, back->b);
            check(round == 0 || again == shown);
            shown = again;
        }
    }

    if (auto cell = cellToFlaggedValue(text)) {
        check(std::isfinite(cell->value));
        const std::string shown = flaggedValueText(cell->flags, cell->value);
        auto back = cellToFlaggedValue(shown);
        check(back.ok());
        check(flaggedValueText(back->flags, back->value) == shown);
    }
    return 0;
}

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/collation.h"
#include "base/cp1251.h"

using namespace veltris;

namespace {

std::string cp(const char* utf8)
{
    return utf8ToCp1251(utf8);
}

}  // namespace

TEST(Collation, OrdersNamesAsListsDo)
{
    // Each pair in order: first sorts before second (or with it, where marked equal).
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"kt315", "KT315", 0},  // case is ignored, in Latin
        {"кт315", "КТ315", 0},  // and in Cyrillic
        {"Ёж", "ёЖ", 0},
        {"9", "A", -1},  // digits, then Latin, then Cyrillic
        {"Z", "А", -1},
        {"z", "а", -1},
        {"-1", "1", -1},  // punctuation before digits
        {" ", "_", -1},
        {"KT3", "KT31", -1},    // a prefix first
        {"KT315", "KT32", -1},  // character by character, not by number
        {"Е", "Ё", -1},         // Ё beside Е ...
        {"Ё", "Ж", -1},
        {"ЁА", "ЕБ", -1},  // ... and only deciding when the letters are otherwise equal
        {"ЕЁ", "ЁЕ", -1},  // then the first accented letter decides
        {"Г", "Ґ", -1},
        {"Ґ", "Д", -1},
        {"Й", "И", 1},  // Й is a letter of its own, after И
        {"Ї", "Й", -1},
        {"Ў", "Ф", -1},
        {"K\x7fT", "KT", 0},  // DEL, control characters and the soft hyphen are ignored
        {"K\tT", "KT", -1},   // a tab is not ignored: it sorts first
        {"K\u00ADT", "KT", 0},
        {"№1", "NO1", 0},  // "№" sorts as "NO", "™" as "TM", "…" as "..."
        {"™", "tm", 0},
        {"A…", "A...", 0},
        {"A\u00A0B", "A B", 0},  // a no-break space is a space
    };
    for (const Case& c : cases) {
        const std::string a = cp(c.a);
        EXPECT_EQ(compareCollated(a, cp(c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(compareCollated(cp(c.b), a), -c.expected) << c.b << " vs " << c.a;
        EXPECT_EQ(collationKey(a) < collationKey(cp(c.b)), c.expected < 0) << c.a << " vs " << c.b;
    }
}

TEST(Collation, OrderIsStableAndAgreesWithComparison)
{
    std::vector<std::string> owned;
    const char* pieces[] = {"KT", "кт", "Ё", "е", "2N", "-", "ГТ", "Ґ", "bc", "№", "KT…"};
    for (int i = 0; i < 2000; ++i)
        owned.push_back(cp(pieces[i % 11]) + cp(pieces[(i * 7 + 3) % 11]) + std::to_string(i % 13));
    owned.push_back(cp("ЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁ"));  // a key longer than its first 16 bytes
    owned.push_back(cp("ЁЁЁЁЁЁЁЁЁЁЁЁЁЁЕ"));
    owned.push_back(cp("ЕЕЕЕЕЕЕЕЕЕЕЕЕЕЁ"));
    std::vector<std::string_view> names(owned.begin(), owned.end());
    const std::vector<std::uint32_t> order = collatedOrder(names);
    ASSERT_EQ(order.size(), names.size());
    for (std::size_t i = 1; i < order.size(); ++i) {
        const int c = compareCollated(names[order[i - 1]], names[order[i]]);
        ASSERT_LE(c, 0) << owned[order[i - 1]] << " > " << owned[order[i]];
        if (c == 0) {
            ASSERT_LT(order[i - 1], order[i]);  // equal names keep their order
        }
    }
    EXPECT_TRUE(collatedOrder({}).empty());
}

#include <optional>
#include <string_view>

#include <gtest/gtest.h>

#include "base/textparse.h"

using namespace veltris;

TEST(TextParse, BlanksAroundATextGoOnlyAtItsEnds)
{
    EXPECT_EQ(trimBlanks(" \t12 5\t "), "12 5");
    EXPECT_EQ(trimBlanks(" \t "), "");
    EXPECT_EQ(trimBlanks(""), "");
    EXPECT_EQ(trimBlanks("\n5"), "\n5");  // a line break is no blank
}

TEST(TextParse, AWholeNumberIsAllOfTheText)
{
    const struct {
        std::string_view text;
        std::optional<int> value;
    } cases[] = {
        {"0", 0},
        {"-17", -17},
        {"2147483647", 2147483647},
        {"", std::nullopt},
        {"+5", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"5,0", std::nullopt},
        {"1e3", std::nullopt},
        {"-", std::nullopt},
        {"2147483648", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseInteger(c.text), c.value) << c.text;
}

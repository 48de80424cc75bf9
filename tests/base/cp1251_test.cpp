#include <gtest/gtest.h>

#include "base/cp1251.h"

using namespace veltris;

TEST(Cp1251, EveryByteSurvivesRoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = cp1251ToUtf8(all);
    bool lossy = true;
    EXPECT_EQ(utf8ToCp1251(utf8, &lossy), all);
    EXPECT_FALSE(lossy);
}

TEST(Cp1251, MapsBytesToTheirCodePoints)
{
    const struct {
        unsigned char byte;
        const char* utf8;
    } cases[] = {
        {0x41, "A"}, {0x80, "Ђ"}, {0x88, "€"}, {0x98, "\u0098"}, {0x99, "™"}, {0xA0, "\u00A0"},
        {0xA5, "Ґ"}, {0xA8, "Ё"}, {0xB0, "°"}, {0xB5, "µ"},      {0xB8, "ё"}, {0xB9, "№"},
        {0xBF, "ї"}, {0xC0, "А"}, {0xDF, "Я"}, {0xE0, "а"},      {0xFF, "я"},
    };
    for (const auto& c : cases) {
        const std::string byte(1, static_cast<char>(c.byte));
        EXPECT_EQ(cp1251ToUtf8(byte), c.utf8) << std::hex << int(c.byte);
        EXPECT_EQ(utf8ToCp1251(c.utf8), byte) << std::hex << int(c.byte);
    }
}

TEST(Cp1251, UnmappableAndInvalidInputBecomesQuestionMarks)
{
    const struct {
        std::string_view utf8;
        std::string_view cp1251;
    } cases[] = {
        {"a日b", "a?b"},                // not in the code page
        {"x\xF0\x9F\x98\x80y", "x?y"},  // four-byte sequence, not in the code page
        {"\xFF", "?"},                  // never valid in UTF-8
        {"a\xD0", "a?"},                // truncated at the end
        {"\xD0z", "?z"},                // broken continuation keeps the next character
        {"\xC0\xAF", "??"},             // overlong form
        {"\xED\xA0\x80", "???"},        // surrogate
    };
    for (const auto& c : cases) {
        bool lossy = false;
        EXPECT_EQ(utf8ToCp1251(c.utf8, &lossy), c.cp1251) << c.utf8;
        EXPECT_TRUE(lossy) << c.utf8;
    }
    bool lossy = true;
    EXPECT_EQ(utf8ToCp1251("Ай?", &lossy), "\xC0\xE9?");
    EXPECT_FALSE(lossy);  // a literal '?' is not a loss
}

TEST(Cp1251, UpperCase)
{
    const struct {
        const char* lower;
        const char* upper;
    } cases[] = {
        {"abcxyz", "ABCXYZ"},
        {"абвгдеёжзийклмнопрстуфхцчшщъыьэюя", "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"},
        {"ђѓўјґєїіѕљњћќџ", "ЂЃЎЈҐЄЇІЅЉЊЋЌЏ"},
        {"ABC АБВ ЁЂ", "ABC АБВ ЁЂ"},  // already upper
        {"1;µ«»№°-_ ", "1;µ«»№°-_ "},  // not letters
    };
    for (const auto& c : cases)
        EXPECT_EQ(cp1251ToUtf8(cp1251ToUpper(utf8ToCp1251(c.lower))), c.upper) << c.lower;
}

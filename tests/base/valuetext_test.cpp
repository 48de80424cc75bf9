#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "base/valuetext.h"

using namespace veltris;

namespace {

struct TextCase {
    double value;
    const char* text;
};

TEST(NumberText, Table)
{
    const TextCase cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {2.5, "2,5"},
        {-2.5, "-2,5"},
        {7, "7"},
        {100, "100"},
        {0.1, "0,1"},
        {1.0 / 3.0, "0,333333333333333"},
        {2.0 / 3.0, "0,666666666666667"},
        {0.0001, "0,0001"},
        {-0.0001, "-0,0001"},
        {0.00012345, "0,00012345"},
        {0.00001, "1E-5"},
        {0.000099999999999999999, "0,0001"},  // rounds up into fixed range
        {1.5e-7, "1,5E-7"},
        {-2.5e-10, "-2,5E-10"},
        {1e20, "1E20"},
        {1e15, "1E15"},
        {123456789012345e-5, "1234567890,12345"},
        {999999999999999.0, "999999999999999"},
        {999999999999999.9, "1E15"},  // judged on the rounded value
        {1234567890123456.0, "1,23456789012346E15"},
        {-1e100, "-1E100"},
        {1e-300, "1E-300"},
        {std::numeric_limits<double>::denorm_min(), "4,94065645841247E-324"},
        {std::numeric_limits<double>::max(), "1,79769313486232E308"},
        {0.30000000000000004, "0,3"},
        {1e14 + 0.5, "100000000000000"},  // 100000000000000,5: tie to even at the 15th digit
        {1e14 + 1.5, "100000000000002"},  // 100000000000001,5: tie to even, upwards
    };
    for (const auto& c : cases)
        EXPECT_EQ(numberText(c.value), c.text) << "value " << c.value;
}

TEST(NumberText, NonFiniteDoesNotCrash)
{
    EXPECT_EQ(numberText(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(numberText(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(numberText(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(NumberText, RoundTripsThroughParser)
{
    const double values[] = {2.5,
                             -0.0001,
                             1e-5,
                             1e20,
                             123.456,
                             1.0 / 7.0,
                             -98765.4321,
                             6.02e23,
                             std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::max()};
    for (double v : values) {
        const std::string t = numberText(v);
        auto back = parseNumber(t);
        ASSERT_TRUE(back.ok()) << t;
        EXPECT_EQ(numberText(*back), t);
        EXPECT_NEAR(*back, v, std::fabs(v) * 1e-14);
    }
}

// The text is the value rounded to 15 significant digits, over the whole range of doubles
// (the short path and the rounding path must agree, subnormals and huge values included).
TEST(NumberText, IsTheValueRoundedTo15Digits)
{
    std::mt19937_64 rng(20261210);
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (i % 2)  // also short decimals, the common case in bases
            v = static_cast<double>(static_cast<std::int64_t>(bits % 2000001) - 1000000) / 1000.0;
        if (!std::isfinite(v) || v == 0)
            continue;
        char sci[40];
        const auto r = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific, 14);
        double rounded = 0;
        std::from_chars(sci, r.ptr, rounded);
        std::string t = numberText(v);
        for (char& c : t)
            if (c == ',')
                c = '.';
        double back = 0;
        const auto b = std::from_chars(t.data(), t.data() + t.size(), back);
        ASSERT_TRUE(b.ec == std::errc() || b.ec == std::errc::result_out_of_range) << t;
        ASSERT_EQ(back, rounded) << numberText(v) << " for " << std::string(sci, r.ptr);
    }
}

TEST(NumericFilter, KeepsOnlyNumberCharacters)
{
    EXPECT_EQ(numericFilter("1.5"), "15");
    EXPECT_EQ(numericFilter("5 в"), "5");
    EXPECT_EQ(numericFilter("[(<2,5)]"), "2,5");
    EXPECT_EQ(numericFilter(" +1e3 E-2 мА"), "13E-2");
    EXPECT_EQ(numericFilter("КТ315Б"), "315");
    EXPECT_EQ(numericFilter("abc"), "");
    EXPECT_EQ(numericFilter(""), "");
}

struct ParseCase {
    const char* text;
    bool ok;
    double value;
};

TEST(ParseNumber, AcceptRejectTable)
{
    const ParseCase cases[] = {
        {"5", true, 5},
        {"-5", true, -5},
        {"2,5", true, 2.5},
        {",5", true, 0.5},
        {"5,", true, 5},
        {",", true, 0},
        {"-,", true, 0},
        {"5E", true, 5},
        {"5E3", true, 5000},
        {"1E-5", true, 1e-5},
        {"1,5E-3", true, 0.0015},
        {",E", true, 0},
        {"5E-", true, 5},
        {"007", true, 7},
        {"1E-310", true, 1e-310},  // subnormal, still representable
        {"0E-999", true, 0},
        {"", false, 0},
        {"-", false, 0},
        {"E5", false, 0},
        {"-E5", false, 0},
        {"1,2,3", false, 0},
        {"5-3", false, 0},
        {"--5", false, 0},
        {"5E--3", false, 0},
        {"5E3E2", false, 0},
        {"5E3,2", false, 0},
        {"5-", false, 0},
        {"1.5", false, 0},
        {"+5", false, 0},
        {"1E400", false, 0},  // overflow is refused, never stored as infinity
        {"-1E400", false, 0},
        {"1E-400", false, 0},  // underflow too: it would silently become an absent 0
        {"1E99999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        auto r = parseNumber(c.text);
        ASSERT_EQ(r.ok(), c.ok) << "'" << c.text << "'";
        if (c.ok) {
            EXPECT_DOUBLE_EQ(*r, c.value) << "'" << c.text << "'";
        } else {
            EXPECT_EQ(r.error().kind, ErrorKind::InvalidNumber);
            EXPECT_EQ(r.error().message, std::string("«") + c.text + "» не читается как число");
        }
    }
}

TEST(ParseNumber, LongInputs)
{
    // Longer than any fixed buffer: 300 digits then a fraction.
    std::string big(300, '0');
    big += "12,5";
    auto r = parseNumber(big);
    ASSERT_TRUE(r.ok());
    EXPECT_DOUBLE_EQ(*r, 12.5);

    std::string tooBig = "1" + std::string(400, '0');
    EXPECT_FALSE(parseNumber(tooBig).ok());
}

struct RangeCase {
    const char* text;
    bool ok;
    double a;
    double b;
};

TEST(ParseRange, Table)
{
    const RangeCase cases[] = {
        {"", true, 0, 0},
        {"7", true, 7, 7},
        {"1,5-3", true, 1.5, 3},
        {"-5-10", true, -5, 10},
        {"-5", true, -5, 5},
        {"1E-5", true, 1e-5, 1e-5},
        {"1E-5-2E-3", true, 1e-5, 2e-3},
        {"-1E-5", true, -1e-5, 1e-5},
        {"-1E-5-2E-3", true, -1e-5, 2e-3},
        {"5-", false, 0, 0},    // empty upper end
        {"-", true, 0, 0},      // "0"
        {"--5", true, 0, 5},    // "0-5"
        {"5--3", true, 5, -3},  // upper end keeps its sign
        {"-,5", true, -0.5, 0.5},
        {"-E5", true, 0, 0},  // "0E5"
        {"1-2-3", false, 0, 0},
        {"1,2,3", false, 0, 0},
        {"1E-5-", false, 0, 0},
        {"1-1E400", false, 0, 0},
    };
    for (const auto& c : cases) {
        auto r = parseRange(c.text);
        ASSERT_EQ(r.ok(), c.ok) << "'" << c.text << "'";
        if (!c.ok) {
            EXPECT_EQ(r.error().kind, ErrorKind::InvalidNumber);
            continue;
        }
        EXPECT_DOUBLE_EQ(r->a, c.a) << "'" << c.text << "'";
        EXPECT_DOUBLE_EQ(r->b, c.b) << "'" << c.text << "'";
    }
}

TEST(ParseRange, ErrorNamesTheFailingEnd)
{
    auto r = parseRange("1-2-3");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "«2-3» не читается как число");
    // The leading minus has become "0" by the time the lower end is parsed.
    auto n = parseRange("-1,2,3");
    ASSERT_FALSE(n.ok());
    EXPECT_EQ(n.error().message, "«01,2,3» не читается как число");
}

TEST(FlaggedValueText, Decorations)
{
    EXPECT_EQ(flaggedValueText(0x0B, 2.5), "[(<2,5)]");
    EXPECT_EQ(flaggedValueText(0x18, 3), "><3");
    EXPECT_EQ(flaggedValueText(0x1F, 1), "{[(><1)]}");
    EXPECT_EQ(flaggedValueText(kFlagBrace, -4), "{-4}");
    EXPECT_EQ(flaggedValueText(0, 1e-5), "1E-5");
    // Zero hides its flags.
    EXPECT_EQ(flaggedValueText(kFlagParen, 0.0), "0");
    EXPECT_EQ(flaggedValueText(0x1F, -0.0), "0");
}

TEST(RangeValueText, OneOrTwoNumbers)
{
    EXPECT_EQ(rangeValueText(0, 1.5, 3), "1,5-3");
    EXPECT_EQ(rangeValueText(0, -5, 5), "-5-5");
    EXPECT_EQ(rangeValueText(0, 7, 7), "7");
    EXPECT_EQ(rangeValueText(0, 7, 7.0001), "7");
    EXPECT_EQ(rangeValueText(0, 7, 7.0002), "7-7,0002");
    EXPECT_EQ(rangeValueText(0, 7.0002, 7), "7,0002-7");
    EXPECT_EQ(rangeValueText(kFlagLess, 1e-5, 2e-3), "<1E-5-0,002");
    // No zero rule here.
    EXPECT_EQ(rangeValueText(0, 0, 0), "0");
    EXPECT_EQ(rangeValueText(kFlagParen, 0, 0), "(0)");
}

TEST(Version3Text, ValuesAndRanges)
{
    EXPECT_EQ(v3ValueText(2.5), "2,5");
    EXPECT_EQ(v3ValueText(0), "0");
    EXPECT_EQ(v3ValueText(-12), "(12)");
    EXPECT_EQ(v3ValueText(-1e-5), "(1E-5)");

    EXPECT_EQ(v3RangeText(1.5, 3), "1,5-3");
    EXPECT_EQ(v3RangeText(3, 3.00005), "3");
    EXPECT_EQ(v3RangeText(5, 1), "5");  // |B| - |A| < 0: one number
    EXPECT_EQ(v3RangeText(-5, 10), "(5-10)");
    EXPECT_EQ(v3RangeText(-5, 5), "(5)");
    EXPECT_EQ(v3RangeText(-5, -10), "(5--10)");
}

TEST(FlagsOfText, EachMarkAnywhere)
{
    EXPECT_EQ(flagsOfText("(12)"), kFlagParen);
    EXPECT_EQ(flagsOfText("12)"), 0);  // closing brackets are not looked at
    EXPECT_EQ(flagsOfText("5[{"), kFlagBracket | kFlagBrace);
    EXPECT_EQ(flagsOfText("<>"), kFlagLess | kFlagGreater);
    EXPECT_EQ(flagsOfText("5 в"), 0);
}

struct CellCase {
    const char* text;
    std::uint8_t flags;
    double value;
};

TEST(CellToFlaggedValue, Table)
{
    const CellCase cases[] = {
        {"(12)", kFlagParen, 12},
        {"<0,5", kFlagLess, 0.5},
        {"1.5", 0, 15},
        {"5 в", 0, 5},
        {"мА", 0, 0},
        {"", 0, 0},
        {"(абв)", 0, 0},  // empty filter: no flags either
        {"(0)", kFlagParen, 0},
        {"{[(<2,5)]}", 0x0F, 2.5},
        {">-3E-2", kFlagGreater, -0.03},
        {"  7  ", 0, 7},
    };
    for (const auto& c : cases) {
        auto r = cellToFlaggedValue(c.text);
        ASSERT_TRUE(r.ok()) << "'" << c.text << "'";
        EXPECT_EQ(r->flags, c.flags) << "'" << c.text << "'";
        EXPECT_DOUBLE_EQ(r->value, c.value) << "'" << c.text << "'";
    }
}

TEST(CellToFlaggedValue, FailuresReportTheFilteredText)
{
    const char* bad[] = {"-", "5-3", "1,2,3", "(-)", "1E400 В"};
    const char* filtered[] = {"-", "5-3", "1,2,3", "-", "1E400"};
    for (int i = 0; i < 5; ++i) {
        auto r = cellToFlaggedValue(bad[i]);
        ASSERT_FALSE(r.ok()) << bad[i];
        EXPECT_EQ(r.error().kind, ErrorKind::InvalidNumber);
        EXPECT_EQ(r.error().message, invalidNumberMessage(filtered[i]));
    }
    // A cell longer than the stack buffer.
    std::string longCell(200, ' ');
    longCell += "<1,25 мкА";
    auto r = cellToFlaggedValue(longCell);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->flags, kFlagLess);
    EXPECT_DOUBLE_EQ(r->value, 1.25);
}

// A cell typed by the user, saved and shown again reads the same.
TEST(CellToFlaggedValue, ShowsAgainAsTyped)
{
    const char* cells[] = {"(12)", "<0,5", "[(<2,5)]", "><3", "{-4}", "1E-5", "0,0001", "1E20", "0"};
    for (const char* cell : cells) {
        auto r = cellToFlaggedValue(cell);
        ASSERT_TRUE(r.ok()) << cell;
        EXPECT_EQ(flaggedValueText(r->flags, r->value), cell);
    }
    // "(0)" keeps its flag in the file but shows as "0".
    auto zero = cellToFlaggedValue("(0)");
    ASSERT_TRUE(zero.ok());
    EXPECT_EQ(flaggedValueText(zero->flags, zero->value), "0");
}

// The range column: "-5" stores -5 and 5, shows "-5-5", and that text stores the same pair.
TEST(RangeColumn, MinusFiveRoundTrip)
{
    auto first = parseRange(numericFilter("-5"));
    ASSERT_TRUE(first.ok());
    const std::string shown = rangeValueText(flagsOfText("-5"), first->a, first->b);
    EXPECT_EQ(shown, "-5-5");
    auto again = parseRange(numericFilter(shown));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->a, -5);
    EXPECT_EQ(again->b, 5);

    auto tiny = parseRange(numericFilter("<1E-5-2E-3 А"));
    ASSERT_TRUE(tiny.ok());
    EXPECT_EQ(rangeValueText(kFlagLess, tiny->a, tiny->b), "<1E-5-0,002");
}

// The 15-digit rounding against its definition, the text written and read back: bit for bit on
// millions of doubles, many of them at the places where a shortcut would slip (halfway between
// two 15-digit numbers, next to powers of ten, at the ends of the shortcut's range).
TEST(RoundTo15Digits, MatchesTheTextRoundTrip)
{
    const auto byText = [](double v) {
        char buf[40];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
        double out = 0;
        std::from_chars(buf, r.ptr, out, std::chars_format::scientific);
        return out;
    };
    std::uint64_t checked = 0;
    const auto check = [&](double v) {
        if (::testing::Test::HasFailure() || !std::isfinite(v) || std::fabs(v) < 1e-300 ||
            std::fabs(v) > 1e300)
            return;  // one failure tells; the rest would repeat it
        for (const double x : {v, -v}) {
            const double expected = byText(x);
            const double got = roundTo15Digits(x);
            ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected))
                << std::hexfloat << x;
            ++checked;
        }
    };
    std::mt19937_64 rng(1515);
    // Any bit pattern with a binary exponent from 2^-40 to 2^60.
    for (int i = 0; i < 1500000; ++i) {
        const std::uint64_t exponent = 1023 - 40 + rng() % 100;
        check(std::bit_cast<double>((exponent << 52) | (rng() & ((std::uint64_t{1} << 52) - 1))));
    }
    // Sixteen digits ending in 5: the nearest double and its neighbours, just above and below
    // halfway, over every scale of the range.
    for (int i = 0; i < 300000; ++i) {
        const std::uint64_t digits = 100000000000000 + rng() % 900000000000000;
        const int exponent = int(rng() % 60) - 30;
        const std::string text = std::to_string(digits) + "5e" + std::to_string(exponent - 15);
        double v = 0;
        std::from_chars(text.data(), text.data() + text.size(), v);
        check(v);
        check(std::nextafter(v, 0.0));
        check(std::nextafter(v, INFINITY));
    }
    // Next to the powers of ten, where the digit count changes.
    for (int e = -12; e <= 20; ++e) {
        double v = std::pow(10.0, e);
        for (int k = 0; k < 2000; ++k)
            v = std::nextafter(v, 0.0);
        for (int k = 0; k < 4000; ++k, v = std::nextafter(v, INFINITY))
            check(v);
    }
    // Decimals of up to 17 digits, as typed or computed values leave them.
    for (int i = 0; i < 300000; ++i)
        check(double(rng() % 100000000000000000) * std::pow(10.0, int(rng() % 40) - 30));
    EXPECT_GT(checked, 4000000u);
}

}  // namespace

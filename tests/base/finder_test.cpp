#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/cp1251.h"
#include "base/finder.h"
#include "base/ini.h"
#include "base/navigatorcatalogue.h"
#include "base/table.h"
#include "base/valuetext.h"
#include "handmadelibrary.h"
#include "scratchdir.h"

using namespace veltris;
using namespace handmade;

namespace {

RuleSet rulesOf(int type, const std::map<int, const char*>& texts)
{
    RuleSet rules(static_cast<std::size_t>(parameterColumnCount(type)));
    for (const auto& [c, t] : texts)
        rules[static_cast<std::size_t>(c - 1)] = *parseRuleText(t);
    return rules;
}

std::vector<std::string> namesOf(const FinderReport& r, bool full)
{
    std::vector<std::string> names;
    for (const FinderMatch& m : r.matches)
        if ((m.fails == 0) == full)
            names.push_back(cp1251ToUtf8(m.name));
    return names;
}

// ---- what a text promises ----

TEST(FinderMeaning, TextsPromiseWhatAnEngineerReads)
{
    struct Case {
        const char* text;
        std::uint8_t known;
        double lo;
        double hi;
    };
    const std::uint8_t both = kKnownLow | kKnownHigh;
    const Case cases[] = {
        {"45", both, 45, 45},
        {"0,25", both, 0.25, 0.25},
        {"<1", kKnownHigh, 1, 1},
        {"<0,4", kKnownHigh, 0.4, 0.4},
        {">250", kKnownLow, 250, 250},
        {"50-350", both, 50, 350},
        {"(12)", both | kMarkTypical, 12, 12},  // a typical value: the value, marked so
        {"[<0,4]", kKnownHigh | kMarkBracket, 0.4, 0.4},
        {"{>3}", kKnownLow | kMarkBrace, 3, 3},
        {"[(<2,5)]", kKnownHigh | kMarkTypical | kMarkBracket, 2.5, 2.5},
        {"-45", both, 45, 45},  // the sign gives the direction only
        {"1E-5", both, 1e-5, 1e-5},
        {"2,5E3", both, 2500, 2500},
        {"1.5", both, 15, 15},      // the point is no decimal mark
        {"5 В", both, 5, 5},        // letters are dropped
        {"120-40", both, 40, 120},  // ends in any order
        {"", 0, 0, 0},
        {"0", 0, 0, 0},  // zero is how an empty value is stored
        {"(0)", 0, 0, 0},
        {"нет", 0, 0, 0},
        {"-", 0, 0, 0},      // no number at all
        {"1,2,3", 0, 0, 0},  // not a number
        {"><3", 0, 0, 0},    // contradicts itself
    };
    for (const Case& c : cases) {
        const CellMeaning m = cellMeaning(cp(c.text));
        EXPECT_EQ(m.known, c.known) << c.text;
        if (c.known != 0) {
            EXPECT_DOUBLE_EQ(m.lo, c.lo) << c.text;
            EXPECT_DOUBLE_EQ(m.hi, c.hi) << c.text;
        }
    }
}

// The quick reading of common forms must give exactly what the value rules' range parser gives.
TEST(FinderMeaning, AgreesWithTheRangeParserOnRandomTexts)
{
    std::mt19937 rng(5);
    const std::string alphabet = "0123456789,,--EE<>()[]{} .x";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 12);
    for (int k = 0; k < 200000; ++k) {
        std::string text;
        for (int n = length(rng); n > 0; --n)
            text += alphabet[pick(rng)];
        CellMeaning m = cellMeaning(text);
        const auto range = parseRange(numericFilter(text));
        const bool less = text.find('<') != std::string::npos;
        const bool greater = text.find('>') != std::string::npos;
        if (!range || (range->a == 0 && range->b == 0) || (less && greater)) {
            EXPECT_EQ(m.known, 0) << text;
            continue;
        }
        ASSERT_NE(m.known, 0) << text;
        // The marks are the brackets the stored flags would keep: any opening one anywhere.
        const unsigned marks = (text.find('(') != std::string::npos ? unsigned{kMarkTypical} : 0u) |
                               (text.find('[') != std::string::npos ? unsigned{kMarkBracket} : 0u) |
                               (text.find('{') != std::string::npos ? unsigned{kMarkBrace} : 0u);
        EXPECT_EQ(m.known & kMarks, marks) << text;
        m.known &= kKnownEnds;
        const double a = std::fabs(range->a);
        const double b = std::fabs(range->b);
        if (less) {
            EXPECT_EQ(m.known, kKnownHigh) << text;
            EXPECT_EQ(m.hi, std::max(a, b)) << text;
        } else if (greater) {
            EXPECT_EQ(m.known, kKnownLow) << text;
            EXPECT_EQ(m.lo, std::min(a, b)) << text;
        } else {
            EXPECT_EQ(m.lo, std::min(a, b)) << text;
            EXPECT_EQ(m.hi, std::max(a, b)) << text;
        }
    }
}

TEST(FinderMeaning, ColourCodesCompareAsLedCodes)
{
    EXPECT_EQ(colourKey("r/g"), colourKey("R/G"));
    EXPECT_EQ(colourKey("R/G "), colourKey("R/G"));
    EXPECT_NE(colourKey("R"), colourKey("G"));
    EXPECT_EQ(colourKey(""), 0u);
    EXPECT_EQ(colourKey(cp("красный")), 0u);
}

TEST(FinderMeaning, UnitsOfTitles)
{
    const UnitScale ma = unitScaleOfTitle(cp("Iк max,|мА"));
    const UnitScale a = unitScaleOfTitle(cp("Iк max,|А"));
    EXPECT_EQ(ma.dimension, a.dimension);
    EXPECT_NE(ma.dimension, Dimension::None);
    EXPECT_DOUBLE_EQ(a.scale / ma.scale, 1000);
    EXPECT_EQ(unitScaleOfTitle(cp("Iк имп|max, мА")).dimension, ma.dimension);
    EXPECT_NE(unitScaleOfTitle(cp("Uкэ max,|В")).dimension, ma.dimension);
    EXPECT_EQ(unitScaleOfTitle(cp("h21э")).dimension, Dimension::None);
    EXPECT_EQ(unitScaleOfTitle(cp("ТКЕ,|10^-4/°С")).dimension, Dimension::None);
}

TEST(FinderLibrary, ColumnsInOtherUnitsAreScaledOrLeftUnknown)
{
    // Varicaps: column 7 fmax in MHz or GHz; column 6 ТКЕ in %/°С or 10^-4/°С, which no factor
    // turns into each other.
    const RuleSet rules = rulesOf(5, {{6, "le"}, {7, "ge"}});
    const ComponentBase mhz = makeBase(5, {{"REF", {{6, "0,05"}, {7, "500"}}}});
    const ComponentBase ghz =
        makeBase(5, {{"FAST", {{6, "0,01"}, {7, "0,6"}}}, {"SLOW", {{6, "0,01"}, {7, "0,4"}}}}, 7, 2);
    ComponentBase other = makeBase(5, {{"OTHER", {{6, "0,01"}, {7, "600"}}}}, 6, 2);
    const auto q = makeQuery(finderSourceFromBase(mhz), 0, rules, 2, 0);
    ASSERT_TRUE(q.ok());
    std::vector<FinderMatch> matches;
    judgeSource(*q, finderSourceFromBase(ghz), 1, -1, matches);
    judgeSource(*q, finderSourceFromBase(other), 2, -1, matches);
    ASSERT_EQ(matches.size(), 3u);
    EXPECT_EQ(matches[0].verdict(1), Verdict::Pass);     // 0,6 GHz >= 500 MHz
    EXPECT_EQ(matches[1].verdict(1), Verdict::Fail);     // 0,4 GHz < 500 MHz
    EXPECT_EQ(matches[0].verdict(0), Verdict::Pass);     // same unit
    EXPECT_EQ(matches[2].verdict(0), Verdict::Unknown);  // %/°С against 10^-4/°С
    EXPECT_EQ(matches[2].verdict(1), Verdict::Pass);
}

// ---- the hand-made library ----

// Rules: structure a gate, Uкэ and Iк not less, h21э within -30..+200 %, fгр not less, Cк not
// more, package equal (as a user who needs the same package sets it).
const std::map<int, const char*> kRules = {{1, "gate"}, {2, "ge"},  {5, "ge"}, {14, "band:30:200"},
                                           {15, "ge"},  {16, "le"}, {30, "eq"}};

FinderQuery handMadeQuery(const ComponentBase& base, int nearMisses, std::size_t top = 0)
{
    const FinderSource source = finderSourceFromBase(base);
    auto q = makeQuery(source, 0, rulesOf(1, kRules), nearMisses, top);
    EXPECT_TRUE(q.ok());
    return *q;
}

std::vector<std::string> titlesOf(const ComponentBase& base)
{
    std::vector<std::string> titles;
    for (int c = 0; c < base.table.columnCount(); ++c)
        titles.push_back(base.table.cell(0, c));
    return titles;
}

TEST(FinderOpenBase, KnownSubstitutesRankFirstThenNearMisses)
{
    const ComponentBase base = handMadeBase();
    const FinderQuery q = handMadeQuery(base, 1);
    FinderReport r = findInBase(q, base, "hand.QDB");
    attachMatchTexts(q, base, 0, r.matches);
    EXPECT_EQ(namesOf(r, true), (std::vector<std::string>{"ЗАМЕНА1", "ЗАМЕНА2", "ЗАМЕНА3"}));
    EXPECT_EQ(r.fullCount, 3u);
    // The other structure fails a gate: never shown, not even as a near miss. Near misses come
    // by how far they miss: another package a little, Uкэ 15 V for 20 V by a quarter; of two
    // equal misses the closer one first.
    EXPECT_EQ(r.nearCount, 3u);
    EXPECT_EQ(namesOf(r, false), (std::vector<std::string>{"КОРПУС", "ПОЧТИ1", "ПОЧТИ2"}));

    // Each near miss fails exactly the parameter that is wrong.
    const std::map<std::string, int> failingColumn = {{"ПОЧТИ1", 2}, {"ПОЧТИ2", 2}, {"КОРПУС", 30}};
    for (const FinderMatch& m : r.matches) {
        if (m.fails == 0)
            continue;
        ASSERT_EQ(m.fails, 1);
        const int column = failingColumn.at(cp1251ToUtf8(m.name));
        for (std::size_t j = 0; j < q.rules.size(); ++j)
            EXPECT_EQ(m.verdict(j) == Verdict::Fail, q.rules[j].column == column)
                << cp1251ToUtf8(m.name) << " column " << q.rules[j].column;
    }
    // Unknown is neither pass nor fail, and the texts come along.
    const FinderMatch& third = r.matches[2];
    EXPECT_EQ(third.unknowns, 2);
    for (std::size_t j = 0; j < q.rules.size(); ++j) {
        const bool unknown = q.rules[j].column == 2 || q.rules[j].column == 16;
        EXPECT_EQ(third.verdict(j), unknown ? Verdict::Unknown : Verdict::Pass);
    }
    EXPECT_EQ(r.matches[1].texts[2], "150");  // rule 2 is column 5, Iк

    const std::vector<std::string> titles = titlesOf(base);
    const std::vector<std::string> verdicts = {
        "прямая замена",   "прямая замена",      "замена, не известно: Uкэ, Cк",
        "близкая: корпус", "близкая: Uкэ −25 %", "близкая: Uкэ −25 %"};
    ASSERT_EQ(r.matches.size(), verdicts.size());
    for (std::size_t k = 0; k < verdicts.size(); ++k)
        EXPECT_EQ(matchVerdictText(q, r.matches[k], titles), verdicts[k]) << k;
}

TEST(FinderOpenBase, PackageIsAPreferenceUnlessAsked)
{
    // The shipped defaults: another package is no failure, the same one is marked and comes
    // first among equals; the other structure is never shown, however many failures a near
    // miss may have.
    const ComponentBase base =
        makeBase(1, {
                        {"ОБРАЗЕЦ", part("20", "100", "50-350", "300", "5")},
                        {"ДРУГОЙ", part("20", "100", "50-350", "300", "5", "1", "29")},
                        {"ТОТ ЖЕ", part("20", "100", "50-350", "300", "5")},
                        {"БЕЗ КОРПУСА", part("20", "100", "50-350", "300", "5", "1", "")},
                        {"PNP", part("20", "100", "50-350", "300", "5", "2")},
                    });
    const auto defaults = SubstituteDefaults::load(VELTRIS_SOURCE_DIR "/data");
    ASSERT_TRUE(defaults.ok());
    const auto q = makeQuery(finderSourceFromBase(base), 0, defaults->rules(1), 5, 0);
    ASSERT_TRUE(q.ok());
    EXPECT_EQ(q->packageColumn, 30);
    const FinderReport r = findInBase(*q, base, "p.QDB");
    EXPECT_EQ(namesOf(r, true), (std::vector<std::string>{"ТОТ ЖЕ", "ДРУГОЙ", "БЕЗ КОРПУСА"}));
    EXPECT_EQ(r.nearCount, 0u);
    EXPECT_EQ(r.matches[0].package, PackageMatch::Same);
    EXPECT_EQ(r.matches[1].package, PackageMatch::Other);
    EXPECT_EQ(r.matches[2].package, PackageMatch::Unknown);
    EXPECT_EQ(matchClass(r.matches[0]), MatchClass::Direct);
    EXPECT_EQ(matchClass(r.matches[1]), MatchClass::Full);
    EXPECT_EQ(matchClass(r.matches[2]), MatchClass::Full);
}

TEST(FinderOpenBase, StrictCountsUnknownAsFailingAndEmptyRecordsAreNoMatch)
{
    ComponentBase base = handMadeBase();
    base.table.appendRow();
    base.table.setCell(base.table.rowCount() - 1, 0, cp("ПУСТО"));  // nothing known at all
    FinderQuery q = handMadeQuery(base, 2);
    const FinderReport lenient = findInBase(q, base, "hand.QDB");
    for (const FinderMatch& m : lenient.matches)
        EXPECT_NE(cp1251ToUtf8(m.name), "ПУСТО");
    EXPECT_EQ(lenient.fullCount, 3u);

    q.unknownFails = true;
    const FinderReport strict = findInBase(q, base, "hand.QDB");
    EXPECT_EQ(namesOf(strict, true), (std::vector<std::string>{"ЗАМЕНА1", "ЗАМЕНА2"}));
    const auto third = std::find_if(strict.matches.begin(), strict.matches.end(),
                                    [](const FinderMatch& m) { return cp1251ToUtf8(m.name) == "ЗАМЕНА3"; });
    ASSERT_NE(third, strict.matches.end());
    EXPECT_EQ(third->fails, 2);
    EXPECT_EQ(third->unknowns, 2);
    EXPECT_EQ(third->failMask, 0u);  // the verdicts stay unknown
    EXPECT_EQ(matchVerdictText(q, *third, titlesOf(base)), "близкая: Uкэ не известно, Cк не известно");
}

// ---- like with like, figures that must be known, zener windows, class gates ----

// The search of `rules` around row 0 of `base`, near misses up to 3, every match ranked.
FinderReport searchAround(const ComponentBase& base, const RuleSet& rules, FinderQuery* query = nullptr)
{
    auto q = makeQuery(finderSourceFromBase(base), 0, rules, 3, 0);
    EXPECT_TRUE(q.ok()) << (q.ok() ? "" : q.error().message);
    if (!q.ok())
        return {};
    FinderReport r = findInBase(*q, base, "t.QDB");
    if (query != nullptr)
        *query = *q;
    return r;
}

const FinderMatch* matchNamed(const FinderReport& r, const char* name)
{
    for (const FinderMatch& m : r.matches)
        if (m.name == cp(name))
            return &m;
    return nullptr;
}

TEST(FinderLikeWithLike, TypicalLimitAndOtherConditionsAreNotCompared)
{
    // fгр «не меньше»: a typical value against a typical one, a limit against a limit; a typical
    // value against a guaranteed limit says nothing («не сравнимо»), in either direction.
    const RuleSet rules = rulesOf(1, {{15, "ge"}, {2, "ge"}});
    const auto verdictOf = [&](const char* refFt, const char* candFt) {
        const ComponentBase base =
            makeBase(1, {{"REF", {{2, "20"}, {15, refFt}}}, {"CAND", {{2, "20"}, {15, candFt}}}});
        const FinderReport r = searchAround(base, rules);
        const FinderMatch* m = matchNamed(r, "CAND");
        EXPECT_NE(m, nullptr) << refFt << " " << candFt;
        return m == nullptr ? std::make_pair(Verdict::Pass, false)
                            : std::make_pair(m->verdict(1), (m->otherMask >> 1 & 1u) != 0);
    };
    EXPECT_EQ(verdictOf("(250)", "(300)"), std::make_pair(Verdict::Pass, false));
    EXPECT_EQ(verdictOf("(250)", "(100)"), std::make_pair(Verdict::Fail, false));
    EXPECT_EQ(verdictOf("(250)", ">80"), std::make_pair(Verdict::Unknown, true));
    EXPECT_EQ(verdictOf(">80", "(250)"), std::make_pair(Verdict::Unknown, true));
    EXPECT_EQ(verdictOf(">80", "[300]"), std::make_pair(Verdict::Unknown, true));
    EXPECT_EQ(verdictOf("[80]", "[100]"), std::make_pair(Verdict::Pass, false));

    // rст at the current of column 9: figures at another current are not compared; where the
    // candidate does not say its current, the figures are.
    const ComponentBase zeners = makeBase(4, {{"REF", {{1, "5,6"}, {6, "<10"}, {9, "5"}}},
                                              {"SAME", {{1, "5,6"}, {6, "<40"}, {9, "5"}}},
                                              {"OTHER", {{1, "5,6"}, {6, "<40"}, {9, "20"}}},
                                              {"UNSAID", {{1, "5,6"}, {6, "<40"}}}});
    FinderQuery q;
    const FinderReport r = searchAround(zeners, rulesOf(4, {{1, "band:3:3 window"}, {6, "le:50 at:9"}}), &q);
    ASSERT_EQ(q.rules.size(), 2u);
    EXPECT_EQ(matchNamed(r, "SAME")->verdict(1), Verdict::NotGuaranteed);
    EXPECT_EQ(matchNamed(r, "UNSAID")->verdict(1), Verdict::NotGuaranteed);
    EXPECT_EQ(matchNamed(r, "OTHER")->verdict(1), Verdict::Unknown);
    EXPECT_EQ(matchVerdictText(q, *matchNamed(r, "OTHER"), titlesOf(zeners)), "замена, не сравнимо: rст");
}

TEST(FinderLikeWithLike, AFigureThatMustBeKnownFailsWhereTheCandidateLacksIt)
{
    // A fast diode: tвосст must be known where the reference gives it.
    const RuleSet rules = rulesOf(3, {{1, "ge known"}, {7, "le known"}});
    const ComponentBase base = makeBase(3, {{"FAST", {{1, "75"}, {7, "<4"}}},
                                            {"RECTIFIER", {{1, "400"}}},
                                            {"ALSO FAST", {{1, "100"}, {7, "<4"}}}});
    FinderQuery q;
    const FinderReport r = searchAround(base, rules, &q);
    EXPECT_EQ(namesOf(r, true), (std::vector<std::string>{"ALSO FAST"}));
    const FinderMatch* slow = matchNamed(r, "RECTIFIER");
    ASSERT_NE(slow, nullptr);
    EXPECT_EQ(slow->fails, 1);
    EXPECT_EQ(slow->verdict(1), Verdict::Fail);
    EXPECT_EQ(matchVerdictText(q, *slow, titlesOf(base)), "близкая: tвосст обр не известно");
    // A reference without the figure asks nothing of it.
    const ComponentBase rectifiers = makeBase(3, {{"R1", {{1, "400"}}}, {"R2", {{1, "600"}}}});
    EXPECT_EQ(namesOf(searchAround(rectifiers, rules), true), (std::vector<std::string>{"R2"}));
}

TEST(FinderZener, VoltageIsOneWindowAndNearMissesComeByVoltage)
{
    const auto defaults = SubstituteDefaults::load(VELTRIS_SOURCE_DIR "/data");
    ASSERT_TRUE(defaults.ok());
    const RuleSet rules = defaults->rules(4);
    // A reference given only as a range, candidates only as a nominal (the series tolerance of
    // the name makes their window), or all three.
    const ComponentBase base =
        makeBase(4, {{"Д813", {{2, "11,5"}, {3, "14"}, {8, "280"}}},
                     {"BZX55C4V7", {{1, "4,7"}, {8, "500"}}},
                     {"BZX55C13", {{1, "13"}, {8, "500"}}},
                     {"LOW NOMINAL", {{1, "11,4"}, {2, "11,2"}, {3, "11,6"}, {8, "500"}}},
                     {"WIDE", {{1, "12,5"}, {2, "10"}, {3, "15"}, {8, "500"}}},
                     {"NO VOLTAGE", {{8, "500"}}}});
    const FinderReport r = searchAround(base, rules);
    EXPECT_EQ(namesOf(r, true), (std::vector<std::string>{"BZX55C13"}));
    for (const char* name : {"BZX55C4V7", "LOW NOMINAL", "WIDE", "NO VOLTAGE"}) {
        const FinderMatch* m = matchNamed(r, name);
        if (m != nullptr) {
            EXPECT_EQ(m->verdict(0), Verdict::Fail) << name;
        }
    }
    // Near misses of a zener: the same voltage failing elsewhere comes before other voltages.
    const ComponentBase small =
        makeBase(4, {{"REF", {{1, "4,7"}, {2, "4,4"}, {3, "5"}, {6, "<10"}, {9, "5"}}},
                     {"3V9", {{1, "3,9"}, {6, "<10"}, {9, "5"}}},
                     {"4V7 SOFT", {{1, "4,7"}, {6, "<80"}, {9, "5"}}},
                     {"5V1", {{1, "5,1"}, {6, "<10"}, {9, "5"}}},
                     {"10V", {{1, "10"}, {6, "<9"}, {9, "5"}}}});
    const FinderReport near = searchAround(small, rules);
    EXPECT_EQ(namesOf(near, false), (std::vector<std::string>{"4V7 SOFT", "5V1", "3V9", "10V"}));

    // A temperature-compensated reference asks for a compensated candidate; an ordinary one
    // asks nothing of ТКН.
    const ComponentBase compensated =
        makeBase(4, {{"Д818Е", {{1, "9"}, {2, "8,55"}, {3, "9,45"}, {7, "<0,005"}}},
                     {"ORDINARY", {{1, "9,1"}, {2, "8,65"}, {3, "9,45"}, {7, "<0,07"}}},
                     {"UNSAID", {{1, "9,1"}, {2, "8,65"}, {3, "9,45"}}},
                     {"Д818Г", {{1, "9"}, {2, "8,55"}, {3, "9,45"}, {7, "<0,005"}}}});
    const FinderReport c = searchAround(compensated, rules);
    EXPECT_EQ(namesOf(c, true), (std::vector<std::string>{"Д818Г"}));
    FinderQuery ordinary;
    searchAround(
        makeBase(4, {{"Д814В", {{2, "9"}, {3, "10,5"}, {7, "<0,09"}}}, {"X", {{2, "9"}, {3, "10,5"}}}}),
        rules, &ordinary);
    for (const ActiveRule& a : ordinary.rules)
        EXPECT_NE(a.column, 7);
    EXPECT_DOUBLE_EQ(seriesTolerance(cp("BZX55C5V6")), 0.05);
    EXPECT_DOUBLE_EQ(seriesTolerance(cp("BZX79B12")), 0.02);
    EXPECT_DOUBLE_EQ(seriesTolerance(cp("1N4733A")), 0.05);
    EXPECT_DOUBLE_EQ(seriesTolerance(cp("1N5232A")), 0.10);
}

TEST(FinderClassGate, DarlingtonsAndTriacsAreOtherDevices)
{
    // h21э ">15" has no upper end: without the gate a Darlington would pass the band.
    const RuleSet bipolar = rulesOf(1, {{2, "ge"}, {14, "band:30:300 class:darlington"}});
    const ComponentBase power = makeBase(1, {{"SINGLE", {{2, "60"}, {14, ">15"}}},
                                             {"DARLINGTON", {{2, "60"}, {14, ">750"}}},
                                             {"ANOTHER SINGLE", {{2, "80"}, {14, "20-70"}}}});
    EXPECT_EQ(namesOf(searchAround(power, bipolar), true), (std::vector<std::string>{"ANOTHER SINGLE"}));
    EXPECT_EQ(matchNamed(searchAround(power, bipolar), "DARLINGTON"), nullptr);
    const ComponentBase darlingtons = makeBase(1, {{"DARLINGTON", {{2, "60"}, {14, ">750"}}},
                                                   {"SINGLE", {{2, "60"}, {14, ">40"}}},
                                                   {"ANOTHER", {{2, "80"}, {14, ">1000"}}}});
    const FinderReport d = searchAround(darlingtons, bipolar);
    EXPECT_EQ(namesOf(d, true), (std::vector<std::string>{"ANOTHER"}));
    EXPECT_EQ(matchNamed(d, "SINGLE"), nullptr);
    // Small-signal parts of high gain stay the same class.
    const ComponentBase small =
        makeBase(1, {{"КТ315А", {{2, "25"}, {14, "30-120"}}}, {"BC547C", {{2, "45"}, {14, "420-800"}}}});
    EXPECT_NE(matchNamed(searchAround(small, bipolar), "BC547C"), nullptr);

    // A triac's current is written in brackets: an SCR and a triac are other classes; where the
    // candidate does not give the figure, the class is not known.
    const ComponentBase thyristors = makeBase(6, {{"SCR", {{1, "400"}, {3, "10"}}},
                                                  {"TRIAC", {{1, "600"}, {3, "[12]"}}},
                                                  {"SCR2", {{1, "600"}, {3, "12"}}},
                                                  {"UNSAID", {{1, "600"}}}});
    FinderQuery q;
    const FinderReport t = searchAround(thyristors, rulesOf(6, {{1, "ge"}, {3, "ge:20 class:marks"}}), &q);
    EXPECT_EQ(matchNamed(t, "TRIAC"), nullptr);
    ASSERT_NE(matchNamed(t, "UNSAID"), nullptr);
    EXPECT_EQ(matchVerdictText(q, *matchNamed(t, "UNSAID"), titlesOf(thyristors)),
              "замена, класс не известен, не известно: Iос ср");
    EXPECT_EQ(matchClass(*matchNamed(t, "SCR2")), MatchClass::Full);
    const ComponentBase triacs = makeBase(6, {{"TRIAC", {{1, "600"}, {3, "[12]"}}},
                                              {"SCR", {{1, "600"}, {3, "16"}}},
                                              {"TRIAC2", {{1, "800"}, {3, "[16]"}}}});
    const FinderReport tr = searchAround(triacs, rulesOf(6, {{1, "ge"}, {3, "ge:20 class:marks"}}));
    EXPECT_EQ(namesOf(tr, true), (std::vector<std::string>{"TRIAC2"}));
    EXPECT_EQ(matchNamed(tr, "SCR"), nullptr);
}

TEST(FinderRanking, BetterFiguresDoNotPushACloseAnalogDown)
{
    // Uкэ not less (−10 %), Iкбо not more, fгр not less, h21э within −30..+200 %.
    const RuleSet rules = rulesOf(1, {{2, "ge:10"}, {10, "le"}, {14, "band:30:200"}, {15, "ge"}});
    const auto row = [](const char* uce, const char* leak, const char* gain, const char* ft) {
        return std::map<int, const char*>{{2, uce}, {10, leak}, {14, gain}, {15, ft}};
    };
    const ComponentBase base =
        makeBase(1, {
                        {"ОБРАЗЕЦ", row("65", "1", "40-160", "3")},
                        {"ХУЖЕ ПО U", row("60", "1", "40-160", "3")},    // −8 %, within the tolerance
                        {"ЛУЧШЕ", row("80", "0,001", "40-160", "100")},  // better in three figures
                        {"ЧУТЬ ЛУЧШЕ", row("70", "1", "40-160", "3")},
                        {"ПРОМАХ 6", row("57", "1", "40-160", "3")},  // 57 < 58,5: misses by 2,6 %
                        {"ПРОМАХ 50", row("30", "1", "40-160", "3")},
                        {"ДВА МАЛЫХ", row("58", "1,05", "40-160", "3")},  // 58 < 58,5 and 1,05 > 1
                    });
    const auto q = makeQuery(finderSourceFromBase(base), 0, rules, 2, 0);
    ASSERT_TRUE(q.ok());
    const FinderReport r = findInBase(*q, base, "r.QDB");
    // Full: nothing against the candidate first (the nearer of those first), then the one a
    // little worse. Near: by the worst miss, 2,6 % before two misses the worse of which is 5 %.
    EXPECT_EQ(namesOf(r, true), (std::vector<std::string>{"ЧУТЬ ЛУЧШЕ", "ЛУЧШЕ", "ХУЖЕ ПО U"}));
    EXPECT_EQ(namesOf(r, false), (std::vector<std::string>{"ПРОМАХ 6", "ДВА МАЛЫХ", "ПРОМАХ 50"}));
    for (const FinderMatch& m : r.matches) {
        EXPECT_TRUE(std::isfinite(m.distance));
        EXPECT_TRUE(std::isfinite(m.shortfall));
    }
}

TEST(FinderOpenBase, NearMissLimitTopAndReferenceGaps)
{
    const ComponentBase base = handMadeBase();
    const FinderReport strict = findInBase(handMadeQuery(base, 0), base, "hand.QDB");
    EXPECT_EQ(strict.matches.size(), 3u);
    EXPECT_EQ(strict.nearCount, 0u);

    const FinderReport wide = findInBase(handMadeQuery(base, 3), base, "hand.QDB");
    EXPECT_EQ(wide.nearCount, 4u);
    EXPECT_EQ(cp1251ToUtf8(wide.matches.back().name), "ПОЧТИ3");
    EXPECT_EQ(wide.matches.back().fails, 3);

    const FinderReport top = findInBase(handMadeQuery(base, 3, 2), base, "hand.QDB");
    ASSERT_EQ(top.matches.size(), 2u);
    EXPECT_EQ(top.fullCount, 3u);  // the count covers everything found
    EXPECT_EQ(cp1251ToUtf8(top.matches[0].name), "ЗАМЕНА1");

    // The reference has no Cк: that rule is reported as unusable, the others still work.
    ComponentBase gap = handMadeBase();
    gap.table.setCell(1, 16, "");
    const FinderSource source = finderSourceFromBase(gap);
    const auto q = makeQuery(source, 0, rulesOf(1, kRules), 0, 0);
    ASSERT_TRUE(q.ok());
    EXPECT_EQ(q->unusable, (std::vector<int>{16}));
    EXPECT_EQ(q->rules.size(), kRules.size() - 1);

    // No usable rule at all is an error, not an empty success.
    const auto none = makeQuery(source, 0, rulesOf(1, {{16, "le"}, {3, "ge"}}), 0, 0);
    ASSERT_FALSE(none.ok());
    EXPECT_FALSE(none.error().message.empty());
}

TEST(FinderOpenBase, LedColourEqualOrGate)
{
    const ComponentBase base = makeBase(7, {{"АЛ307А", {{1, "R"}, {2, "150"}}},
                                            {"АЛ307Б", {{1, "r"}, {2, "900"}}},
                                            {"АЛ307Г", {{1, "G"}, {2, "1500"}}},
                                            {"АЛ307?", {{2, "1500"}}}});
    const FinderSource source = finderSourceFromBase(base);
    const auto q = makeQuery(source, 0, rulesOf(7, {{1, "eq"}, {2, "ge"}}), 1, 0);
    ASSERT_TRUE(q.ok());
    const FinderReport r = findInBase(*q, base, "leds.QDB");
    EXPECT_EQ(namesOf(r, true), (std::vector<std::string>{"АЛ307Б", "АЛ307?"}));
    EXPECT_EQ(namesOf(r, false), (std::vector<std::string>{"АЛ307Г"}));
    EXPECT_EQ(r.matches[1].verdict(0), Verdict::Unknown);

    // As a gate another colour is no candidate at all.
    const auto gate = makeQuery(source, 0, rulesOf(7, {{1, "gate"}, {2, "ge"}}), 1, 0);
    ASSERT_TRUE(gate.ok());
    const FinderReport g = findInBase(*gate, base, "leds.QDB");
    EXPECT_EQ(namesOf(g, true), (std::vector<std::string>{"АЛ307Б", "АЛ307?"}));
    EXPECT_TRUE(namesOf(g, false).empty());
}

TEST(FinderOpenBase, ProgressRisesAndCancelLeavesNoResults)
{
    const ComponentBase base = handMadeBase();
    std::vector<std::pair<std::size_t, std::size_t>> calls;
    const FinderReport full =
        findInBase(handMadeQuery(base, 3), base, "hand.QDB", [&](std::size_t done, std::size_t total) {
            calls.emplace_back(done, total);
            return true;
        });
    EXPECT_FALSE(full.cancelled);
    ASSERT_GE(calls.size(), 2u);
    for (std::size_t k = 0; k < calls.size(); ++k) {
        EXPECT_LT(calls[k].first, calls[k].second);
        if (k > 0) {
            EXPECT_GT(calls[k].first, calls[k - 1].first);
            EXPECT_EQ(calls[k].second, calls[0].second);
        }
    }
    for (int stopAt : {1, 2}) {
        int seen = 0;
        const FinderReport r = findInBase(handMadeQuery(base, 3), base, "hand.QDB",
                                          [&](std::size_t, std::size_t) { return ++seen < stopAt; });
        EXPECT_TRUE(r.cancelled);
        EXPECT_TRUE(r.matches.empty());
    }
}

// ---- library scope ----

TEST(FinderLibrary, EveryBaseOfTheTypeInTheFolders)
{
    ScratchDir dir;
    const ComponentBase open = handMadeBase();
    const auto openFile = dir.path() / "a_open.QDB";
    ASSERT_TRUE(writeBase(open, openFile).ok());
    // Iк in amperes in this base: 0,1 A is the reference's 100 mA, 0,05 A too little.
    ComponentBase amps = makeBase(1,
                                  {{"АМПЕРЫ", part("30", "0,1", "50-350", "300", "5")},
                                   {"МАЛО", part("30", "0,05", "50-350", "300", "5")}},
                                  5, 2);
    ASSERT_TRUE(writeBase(amps, dir.path() / "b_amps.qdb").ok());
    ComponentBase diodes = makeBase(3, {{"ЗАМЕНА9", {{1, "100"}}}});
    ASSERT_TRUE(writeBase(diodes, dir.path() / "c_diodes.QDB").ok());
    ScratchDir other;
    ComponentBase more = makeBase(1, {{"ЕЩЁ", part("20", "100", "50-350", "250", "7")}});
    ASSERT_TRUE(writeBase(more, other.path() / "more.QDB").ok());

    NavigatorCatalogue navigator;
    EXPECT_TRUE(navigator.addFolder(dir.path()).empty());
    EXPECT_TRUE(navigator.addFolder(other.path()).empty());
    const FinderQuery q = handMadeQuery(open, 1);
    std::vector<std::size_t> seen;
    const FinderReport r = findInLibrary(q, open, openFile.string(), navigator, shippedCatalogue(),
                                         [&](std::size_t done, std::size_t total) {
                                             seen.push_back(done);
                                             return done <= total;
                                         });
    ASSERT_FALSE(r.cancelled);
    EXPECT_TRUE(r.problems.empty());
    // The open base is searched once, from memory; the diode base not at all.
    EXPECT_EQ(r.baseFiles, (std::vector<std::string>{openFile.string(), (dir.path() / "b_amps.qdb").string(),
                                                     (other.path() / "more.QDB").string()}));
    const std::vector<std::string> full = namesOf(r, true);
    EXPECT_EQ(std::set<std::string>(full.begin(), full.end()),
              (std::set<std::string>{"ЗАМЕНА1", "ЗАМЕНА2", "ЗАМЕНА3", "АМПЕРЫ", "ЕЩЁ"}));
    EXPECT_EQ(full.front(), "ЕЩЁ");  // identical values: distance 0
    const auto low = std::find_if(r.matches.begin(), r.matches.end(),
                                  [](const FinderMatch& m) { return cp1251ToUtf8(m.name) == "МАЛО"; });
    ASSERT_NE(low, r.matches.end());
    EXPECT_EQ(low->fails, 1);
    EXPECT_EQ(low->base, 1);
    EXPECT_EQ(low->texts[2], "0,05");
    EXPECT_FALSE(seen.empty());

    // An unreadable base is reported and skipped; cancelling stops with nothing.
    std::filesystem::resize_file(other.path() / "more.QDB", 100);
    const FinderReport damaged = findInLibrary(q, open, openFile.string(), navigator, shippedCatalogue());
    EXPECT_EQ(damaged.problems.size(), 1u);
    EXPECT_EQ(damaged.fullCount, 4u);
    const FinderReport cancelled = findInLibrary(q, open, openFile.string(), navigator, shippedCatalogue(),
                                                 [](std::size_t done, std::size_t) { return done < 2; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_TRUE(cancelled.matches.empty());
}

// ---- generated bases ----

// ---- the stored form read directly gives what the texts give ----

// Stored doubles of every shape a file can hold: zeros of both signs, datasheet values, full
// precision, beyond 15 digits, the fixed/exponent borders, the ends of the range, subnormals and
// non-finite values.
double storedValue(std::mt19937_64& rng)
{
    const double sign = rng() & 1 ? -1 : 1;
    std::uniform_real_distribution<double> unit(0, 1);
    switch (rng() % 14) {
    case 0: return 0.0;
    case 1: return -0.0;
    case 2: return sign * double(1 + rng() % 999) * std::pow(10.0, int(rng() % 16) - 8);
    case 3: return sign * std::ldexp(unit(rng), int(rng() % 200) - 100);
    case 4: return sign * (1 + std::ldexp(1, -52) * double(1 + rng() % 8));
    case 5: return sign * std::nextafter(1e15, rng() & 1 ? 0.0 : 2e15);
    case 6: return sign * std::nextafter(1e-4, rng() & 1 ? 0.0 : 1.0);
    case 7: return sign * (rng() & 1 ? DBL_MAX : 1e300 * (1 + unit(rng)));
    case 8: return sign * (rng() & 1 ? DBL_MIN : 1e-300 * (1 + unit(rng)));
    case 9: return sign * std::numeric_limits<double>::denorm_min() * double(1 + rng() % 1000);
    case 10: return rng() % 3 == 0 ? std::numeric_limits<double>::quiet_NaN() : sign * HUGE_VAL;
    case 11: return std::bit_cast<double>(rng());
    default: return sign * double(rng() % 100000) / 100;
    }
}

// A base of `type` whose columns hold the stored form the reader of `version` gives: values
// with flags (version 3: only "()" for a negative value), the range column, the drawing number,
// the LED colour code as text. Then a few cells are edited and the rows reordered.
ComponentBase storedBase(std::mt19937_64& rng, int version, int type, int records)
{
    const int columns = parameterColumnCount(type);
    std::vector<ColumnStore> stores(static_cast<std::size_t>(columns) + 1);
    for (int c = 0; c <= columns; ++c) {
        ColumnStore& s = stores[static_cast<std::size_t>(c)];
        s.kind = c == 0 || (type == 7 && c == 1) ? CellKind::Text
                 : c == columns                  ? CellKind::Drawing
                 : type == 1 && c == 14          ? (version == 3 ? CellKind::V3Range : CellKind::Range)
                                                 : CellKind::Value;
        s.resize(static_cast<std::size_t>(records));
        if (s.kind == CellKind::Text)
            s.texts.resize(static_cast<std::size_t>(records));
        const auto flags = [&] {
            const auto f = rng() % 10;
            return std::uint8_t(f < 5 ? 0 : f < 8 ? 1u << (rng() % 5) : rng());
        };
        for (std::size_t i = 0; i < static_cast<std::size_t>(records); ++i) {
            switch (s.kind) {
            case CellKind::Text:
                s.texts[i] =
                    c == 0 ? "N" + std::to_string(i) : std::string("RG/Y-O").substr(rng() % 6, rng() % 4);
                break;
            case CellKind::Drawing: s.drawing[i] = std::int16_t(rng() % 3 ? rng() % 80 : rng()); break;
            case CellKind::Value: {
                const double v = storedValue(rng);
                s.flags[i] = version == 3 ? (v < 0 ? kFlagParen : 0) : flags();
                s.a[i] = version == 3 ? std::fabs(v) : v;
                s.classes[i] = classifyValue(s.a[i]);
                break;
            }
            case CellKind::Range:
            case CellKind::V3Range: {
                const double a = storedValue(rng);
                const std::uint64_t pick = rng() % 4;
                const double b = pick == 0   ? a
                                 : pick == 1 ? a + 0.00005 * (rng() & 1 ? 1 : -1)
                                             : storedValue(rng);
                s.a[i] = a;
                s.b[i] = b;
                if (s.kind == CellKind::Range) {
                    s.flags[i] = flags();
                    s.classes[i] = std::uint8_t(classifyValue(a) | classifyValue(b) << 2);
                }
                break;
            }
            }
        }
    }
    ComponentBase base;
    base.deviceType = static_cast<std::uint16_t>(type);
    base.table = Table::fromColumns(records + 1, std::move(stores));
    // Edited cells hold texts of every kind, the stored form's own text among them.
    const char* edits[] = {"", "0", "<5", ">5", "<>7", "(3,3)", "1-2", "1E-5-2E-3", "abc", "5--10"};
    for (int k = 0; k < records / 10; ++k) {
        const int row = 1 + int(rng() % std::uint64_t(records));
        const int col = int(rng() % std::uint64_t(columns + 1));
        base.table.setCell(row, col,
                           rng() % 4 ? edits[rng() % std::size(edits)]
                                     : base.table.cell(1 + int(rng() % std::uint64_t(records)), col));
    }
    std::vector<int> order(static_cast<std::size_t>(records));
    for (int i = 0; i < records; ++i)
        order[static_cast<std::size_t>(i)] = i + 1;
    std::shuffle(order.begin(), order.end(), rng);
    base.table.permuteDataRows(order);
    return base;
}

TEST(FinderStore, StoredFormReadsAsTheTexts)
{
    std::mt19937_64 rng(15);
    const std::pair<int, int> cases[] = {{3, 1}, {4, 1}, {5, 1}, {5, 3}, {5, 4}, {5, 5}, {5, 6}, {5, 7}};
    for (const auto& [version, type] : cases) {
        const ComponentBase base = storedBase(rng, version, type, 2000);
        const FinderSource fast = finderSourceFromBase(base);
        const FinderSource slow = finderSourceFromTexts(base);
        ASSERT_EQ(fast.rowCount(), slow.rowCount());
        for (int i = 0; i < fast.rowCount(); ++i) {
            ASSERT_EQ(fast.name(i), slow.name(i));
            for (int c = 1; c <= fast.columnCount(); ++c) {
                const auto& f = fast.column(c);
                const auto& t = slow.column(c);
                const auto r = static_cast<std::size_t>(i);
                const std::string where = "version " + std::to_string(version) + " type " +
                                          std::to_string(type) + " cell «" + base.table.cell(i + 1, c) +
                                          "» column " + std::to_string(c);
                ASSERT_EQ(f.text, t.text) << where;
                if (f.text) {
                    ASSERT_EQ(f.key[r], t.key[r]) << where;
                    continue;
                }
                ASSERT_EQ(f.known[r], t.known[r]) << where;
                ASSERT_EQ(f.lo[r], t.lo[r]) << where;
                ASSERT_EQ(f.hi[r], t.hi[r]) << where;
            }
        }
    }
}

// What a generated text promises, known from how it was made rather than parsed back.
struct Promise {
    bool lowKnown = false;
    bool highKnown = false;
    double lo = 0;
    double hi = 0;
    bool typical = false;  // "(x)": compared only with another typical value
};

std::string decimalText(double v)
{
    return numberText(v);
}

std::pair<std::string, Promise> randomCell(std::mt19937& rng)
{
    std::uniform_int_distribution<int> form(0, 7);
    std::uniform_int_distribution<int> mantissa(1, 60);
    const double a = mantissa(rng) * 5.0;
    const double b = a + mantissa(rng) * 5.0;
    switch (form(rng)) {
    case 0: return {"", {}};
    case 1: return {"<" + decimalText(a), {false, true, a, a}};
    case 2: return {">" + decimalText(a), {true, false, a, a}};
    case 3: return {decimalText(a) + "-" + decimalText(b), {true, true, a, b}};
    case 4: return {"(" + decimalText(a) + ")", {true, true, a, a, true}};
    default: return {decimalText(a), {true, true, a, a}};
    }
}

// What a rule asks, from the reference's promise: a lower bound, an upper bound, or both.
struct Wanted {
    bool low = false;
    bool high = false;
    double lo = 0;
    double hi = 0;
};

Wanted wantedBy(const SubstituteRule& rule, const Promise& ref)
{
    // A one-sided reference stands for its number; a band follows its side.
    const double rlo = ref.lowKnown ? ref.lo : ref.hi;
    const double rhi = ref.highKnown ? ref.hi : ref.lo;
    const double minus = 1 - rule.minusPercent / 100.0;
    const double plus = 1 + rule.plusPercent / 100.0;
    switch (rule.kind) {
    case RuleKind::AtLeast: return {true, false, rlo * minus, 0};
    case RuleKind::AtMost: return {false, true, 0, rhi * plus};
    case RuleKind::Equal:
    case RuleKind::Gate: return {true, true, rlo, rhi};
    case RuleKind::Band: return {ref.lowKnown, ref.highKnown, rlo * minus, rhi * plus};
    case RuleKind::Off: break;
    }
    return {};
}

// The verdict by the rule's meaning: pass when every value the text allows meets what is
// wanted; fail when none does; a guarantee too weak when the text limits only the side that is
// wanted and does not reach it; unknown otherwise.
Verdict oracle(const Promise& p, const SubstituteRule& rule, const Promise& ref)
{
    if (!p.lowKnown && !p.highKnown)
        return Verdict::Unknown;
    if (p.typical != ref.typical)
        return Verdict::Unknown;  // «не сравнимо»
    const Wanted w = wantedBy(rule, ref);
    const double eps = 1e-9;
    const bool belowLow = [&](double v) { return w.low && v < w.lo * (1 - eps); }(p.lowKnown ? p.lo : p.hi);
    const bool aboveHigh = [&](double v) {
        return w.high && v > w.hi * (1 + eps);
    }(p.highKnown ? p.hi : p.lo);
    if (p.lowKnown && p.highKnown)
        return belowLow || aboveHigh ? Verdict::Fail : Verdict::Pass;
    if (p.lowKnown) {  // at least p.lo, perhaps much more
        if (w.high && p.lo > w.hi * (1 + eps))
            return Verdict::Fail;
        if (belowLow)
            return Verdict::NotGuaranteed;
        return w.high ? Verdict::Unknown : Verdict::Pass;
    }
    // at most p.hi, perhaps much less
    if (w.low && p.hi < w.lo * (1 - eps))
        return Verdict::Fail;
    if (aboveHigh)
        return Verdict::NotGuaranteed;
    return w.low ? Verdict::Unknown : Verdict::Pass;
}

TEST(FinderGenerated, MatchesObeyTheRulesAndTheOrder)
{
    std::mt19937 rng(20261210);
    const int type = 3;  // diodes: 12 columns, all numeric
    const int columns = parameterColumnCount(type);
    const char* kinds[] = {"off",   "ge",    "le",   "eq",    "band:10:10", "band:50:100",
                           "ge:10", "le:20", "gate", "ge:30", "le:100",     "band:30:200"};
    for (int round = 0; round < 60; ++round) {
        const int rows = 200;
        std::vector<std::vector<Promise>> promises(rows, std::vector<Promise>(columns + 1));
        ComponentBase base = makeBase(type, {});
        for (int i = 0; i < rows; ++i) {
            base.table.appendRow();
            base.table.setCell(i + 1, 0, "P" + std::to_string(i));
            for (int c = 1; c <= columns; ++c) {
                auto [text, promise] = randomCell(rng);
                base.table.setCell(i + 1, c, text);
                promises[static_cast<std::size_t>(i)][static_cast<std::size_t>(c)] = promise;
            }
        }
        RuleSet rules(static_cast<std::size_t>(columns));
        for (auto& r : rules) {
            // A gate now and then: most rows fail one.
            const int pick = std::uniform_int_distribution<int>(0, 40)(rng);
            r = *parseRuleText(kinds[pick < 36 ? pick % 8 : pick == 40 ? 8 : 9 + pick % 3]);
        }
        const int reference = std::uniform_int_distribution<int>(0, rows - 1)(rng);
        const int nearMisses = round % 4;
        const bool strict = round % 5 == 4;
        const FinderSource source = finderSourceFromBase(base);
        auto q = makeQuery(source, reference, rules, nearMisses, 0);
        if (!q.ok())
            continue;
        q->unknownFails = strict;
        const FinderReport r = findInBase(*q, base, "gen.QDB");

        // What the oracle makes of row i: failures counted, whether it fails a gate, whether any
        // rule could tell.
        struct Judged {
            int fails = 0;
            bool gateFailed = false;
            bool anyTold = false;
        };
        const auto judge = [&](int i, const FinderMatch* m) {
            Judged out;
            double distance = 0;
            double favour = 0;
            for (std::size_t j = 0; j < q->rules.size(); ++j) {
                const ActiveRule& a = q->rules[j];
                const auto c = static_cast<std::size_t>(a.column);
                const Promise& mine = promises[static_cast<std::size_t>(i)][c];
                const Promise& ref = promises[static_cast<std::size_t>(reference)][c];
                const Verdict expected = oracle(mine, a.rule, ref);
                const bool counted = expected == Verdict::Fail || expected == Verdict::NotGuaranteed ||
                                     (strict && expected == Verdict::Unknown);
                out.fails += counted;
                out.gateFailed |= counted && a.rule.kind == RuleKind::Gate;
                out.anyTold |= expected != Verdict::Unknown;
                if (m == nullptr)
                    continue;
                EXPECT_EQ(m->verdict(j), expected) << "row " << i << " column " << c;
                // Closeness: geometric means of the known ends on a log scale; what is in the
                // candidate's favour only breaks ties, at most ln 2 of it. Drawing numbers are
                // names, not quantities.
                if ((mine.lowKnown || mine.highKnown) && mine.typical == ref.typical &&
                    a.column != packageColumn(type)) {
                    const double d = std::log(std::sqrt(mine.lo * mine.hi) / std::sqrt(ref.lo * ref.hi));
                    const Wanted w = wantedBy(a.rule, ref);
                    const bool forIt = (w.low && !w.high && d > 0) || (w.high && !w.low && d < 0);
                    (forIt ? favour : distance) +=
                        forIt ? std::min(std::fabs(d), std::log(2.0)) : std::fabs(d);
                }
            }
            if (m != nullptr) {
                EXPECT_EQ(m->fails, out.fails) << "row " << i;
                EXPECT_NEAR(m->distance, distance, 1e-9) << "row " << i;
                EXPECT_NEAR(m->favour, favour, 1e-9) << "row " << i;
            }
            return out;
        };
        std::set<int> listed;
        for (std::size_t k = 0; k < r.matches.size(); ++k) {
            const FinderMatch& m = r.matches[k];
            listed.insert(m.row);
            if (k > 0) {
                EXPECT_FALSE(betterMatch(m, r.matches[k - 1])) << "order at " << k;
            }
            const Judged j = judge(m.row, &m);
            EXPECT_LE(j.fails, nearMisses);
            EXPECT_FALSE(j.gateFailed);
            EXPECT_TRUE(j.anyTold);
        }
        // Whatever was left out fails more rules than a near miss may, or a gate, or could not
        // be told by any rule.
        for (int i = 0; i < rows; ++i) {
            if (i == reference || listed.count(i))
                continue;
            const Judged j = judge(i, nullptr);
            EXPECT_TRUE(j.fails > nearMisses || j.gateFailed || !j.anyTold) << "row " << i << " left out";
        }
        EXPECT_EQ(listed.count(reference), 0u);
    }
}

// ---- the finder's own reading of base files ----

// File bytes of `version` (3, 4 or 5) and `type` (1 for versions 3 and 4) with `records`
// records of random content: names of any length, stored doubles of every shape with any
// flags, colour codes, drawing numbers; the column map picks other units now and then; a piece
// of a record may trail.
std::string randomBaseBytes(std::mt19937_64& rng, int version, int type, int records)
{
    ComponentBase lead = makeBase(type, {});
    auto bytes = encodeBase(lead);
    EXPECT_TRUE(bytes.ok());
    std::string out = bytes->substr(0, kLeadSize);
    for (int c = 0; c < kMaxParamColumns; ++c)
        out[static_cast<std::size_t>(kHeaderSize + c)] = static_cast<char>(1 + rng() % 3);
    if (version != 5) {
        const float v = static_cast<float>(version);
        std::memcpy(out.data() + 58, &v, sizeof v);
    }
    const std::size_t size = static_cast<std::size_t>(recordSize(version));
    const auto putDouble = [](char* p, double v) { std::memcpy(p, &v, sizeof v); };
    for (int r = 0; r < records; ++r) {
        std::string rec(size, '\0');
        const std::size_t nameLength = rng() % 20;
        rec[0] = static_cast<char>(nameLength);
        for (std::size_t k = 1; k <= std::min<std::size_t>(nameLength, 15); ++k)
            rec[k] = "AKTmx0123456789"[rng() % 15];
        if (version == 3) {
            for (int k = 0; k < 30; ++k)
                putDouble(rec.data() + 16 + 8 * k, storedValue(rng));
        } else {
            for (int k = 0; k < 30; ++k) {
                char* slot = rec.data() + 16 + 9 * k;
                slot[0] = static_cast<char>(rng() % 3 ? 0 : rng());
                putDouble(slot + 1, storedValue(rng));
            }
            if (type == 7) {
                const std::size_t n = rng() % 10;
                rec[16] = static_cast<char>(n);
                for (std::size_t k = 0; k < std::min<std::size_t>(n, 8); ++k)
                    rec[17 + k] = "RGYO-/bx"[rng() % 8];
            }
        }
        const auto drawing = static_cast<std::int16_t>(rng() % 3 ? rng() % 80 : rng());
        std::memcpy(rec.data() + size - 2, &drawing, sizeof drawing);
        out += rec;
    }
    out.append(rng() % size, 'x');
    return out;
}

void expectSameSource(const FinderSource& got, const FinderSource& want, const std::string& where)
{
    ASSERT_EQ(got.deviceType(), want.deviceType()) << where;
    ASSERT_EQ(got.rowCount(), want.rowCount()) << where;
    for (int c = 1; c <= want.columnCount(); ++c) {
        const auto& g = got.column(c);
        const auto& w = want.column(c);
        ASSERT_EQ(g.built, w.built) << where << " column " << c;
        ASSERT_EQ(g.text, w.text) << where << " column " << c;
        EXPECT_EQ(g.unit.dimension, w.unit.dimension) << where << " column " << c;
        EXPECT_EQ(g.unit.scale, w.unit.scale) << where << " column " << c;
        EXPECT_EQ(g.unit.text, w.unit.text) << where << " column " << c;
        EXPECT_EQ(g.key, w.key) << where << " column " << c;
        EXPECT_EQ(g.known, w.known) << where << " column " << c;
        // Bit for bit, NaN never occurring: compare as integers.
        ASSERT_EQ(g.lo.size(), w.lo.size());
        for (std::size_t r = 0; r < w.lo.size(); ++r) {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(g.lo[r]), std::bit_cast<std::uint64_t>(w.lo[r]))
                << where << " column " << c << " row " << r;
            ASSERT_EQ(std::bit_cast<std::uint64_t>(g.hi[r]), std::bit_cast<std::uint64_t>(w.hi[r]))
                << where << " column " << c << " row " << r;
        }
    }
    for (int i = 0; i < want.rowCount(); ++i)
        ASSERT_EQ(got.name(i), want.name(i)) << where << " row " << i;
}

TEST(FinderFileReading, BytesReadAsTheBaseReaderGivesThem)
{
    std::mt19937_64 rng(2026);
    const std::pair<int, int> cases[] = {{3, 1}, {4, 1}, {5, 1}, {5, 3}, {5, 4}, {5, 5}, {5, 6}, {5, 7}};
    for (const auto& [version, type] : cases) {
        const std::string bytes = randomBaseBytes(rng, version, type, 1500);
        const std::string where = "version " + std::to_string(version) + " type " + std::to_string(type);
        auto base = decodeBase(bytes, shippedCatalogue());
        ASSERT_TRUE(base.ok()) << where;
        const auto all = finderSourceFromBytes(bytes, shippedCatalogue());
        ASSERT_TRUE(all.ok()) << where;
        expectSameSource(*all, finderSourceFromBase(*base), where);
        const std::vector<int> some = {2, 1, 14, parameterColumnCount(type), 99};
        const auto part = finderSourceFromBytes(bytes, shippedCatalogue(), some);
        ASSERT_TRUE(part.ok()) << where;
        expectSameSource(*part, finderSourceFromBase(*base, some), where + " (some columns)");
    }

    // A header alone, a type without a record layout, and damaged bytes: what the reader says.
    const std::string lead = randomBaseBytes(rng, 5, 1, 0).substr(0, kLeadSize);
    std::string noLayout = lead + std::string(600, 'z');
    noLayout[59] = 2;
    std::string badVersion = lead;
    badVersion[58] = 9;
    for (const std::string& bytes : {lead, noLayout}) {
        const auto got = finderSourceFromBytes(bytes, shippedCatalogue());
        auto base = decodeBase(bytes, shippedCatalogue());
        ASSERT_TRUE(got.ok());
        ASSERT_TRUE(base.ok());
        expectSameSource(*got, finderSourceFromBase(*base), "no records");
    }
    for (const std::string& bytes : {lead.substr(0, 100), std::string(), badVersion}) {
        const auto got = finderSourceFromBytes(bytes, shippedCatalogue());
        const auto want = decodeBase(bytes, shippedCatalogue());
        ASSERT_FALSE(got.ok());
        ASSERT_FALSE(want.ok());
        EXPECT_EQ(got.error().kind, want.error().kind);
        EXPECT_EQ(got.error().message, want.error().message);
    }
}

// The library search reads files from their bytes; what it finds in each must be what judging
// the base the reader makes of the same file finds, texts included.
TEST(FinderFileReading, LibraryFindsWhatTheBaseReaderShows)
{
    std::mt19937_64 rng(77);
    ScratchDir dir;
    const std::pair<int, int> files[] = {{5, 1}, {4, 1}, {3, 1}, {5, 1}};
    std::vector<std::string> names;
    std::vector<ComponentBase> bases;
    for (std::size_t f = 0; f < std::size(files); ++f) {
        const std::string bytes = randomBaseBytes(rng, files[f].first, files[f].second, 700);
        const auto file = dir.path() / ("b" + std::to_string(f) + ".QDB");
        std::ofstream(file, std::ios::binary) << bytes;
        names.push_back(file.string());
        auto base = decodeBase(bytes, shippedCatalogue());
        ASSERT_TRUE(base.ok());
        bases.push_back(std::move(*base));
    }
    NavigatorCatalogue navigator;
    ASSERT_TRUE(navigator.addFolder(dir.path()).empty());
    std::filesystem::resize_file(dir.path() / "b3.QDB", 120);  // damaged since: reported, skipped

    const FinderSource openSource = finderSourceFromBase(bases[0]);
    int reference = 0;
    while (reference < openSource.rowCount() &&
           openSource.column(2).known[static_cast<std::size_t>(reference)] != (kKnownLow | kKnownHigh))
        ++reference;
    const RuleSet rules = rulesOf(1, {{1, "band:50:900"},
                                      {2, "ge"},
                                      {3, "le"},
                                      {5, "eq"},
                                      {9, "band:90:1000"},
                                      {14, "band:100:1000"},
                                      {30, "ge"},
                                      {17, "le"}});
    for (const std::size_t top : {std::size_t{0}, std::size_t{25}}) {
        const auto q = makeQuery(openSource, reference, rules, 3, top);
        ASSERT_TRUE(q.ok());
        const FinderReport got = findInLibrary(*q, bases[0], names[0], navigator, shippedCatalogue());
        ASSERT_EQ(got.problems.size(), 1u);
        const auto damaged = readBase(dir.path() / "b3.QDB", shippedCatalogue());
        ASSERT_FALSE(damaged.ok());
        EXPECT_NE(got.problems[0].message.find(damaged.error().message), std::string::npos);
        ASSERT_EQ(got.baseFiles, (std::vector<std::string>{names[0], names[1], names[2]}));

        // The same judged from the bases the reader makes.
        std::vector<FinderMatch> want;
        std::size_t full = 0;
        std::size_t near = 0;
        for (int b = 0; b < 3; ++b) {
            const std::size_t from = want.size();
            ASSERT_TRUE(judgeSource(*q, finderSourceFromBase(bases[static_cast<std::size_t>(b)]), b,
                                    b == 0 ? reference : -1, want));
            for (std::size_t k = from; k < want.size(); ++k)
                for (const ActiveRule& a : q->rules)
                    want[k].texts.push_back(
                        bases[static_cast<std::size_t>(b)].table.cell(want[k].row + 1, a.column));
        }
        rankMatches(*q, want, full, near);
        EXPECT_EQ(got.fullCount, full);
        EXPECT_EQ(got.nearCount, near);
        ASSERT_EQ(got.matches.size(), want.size()) << "top " << top;
        ASSERT_GT(want.size(), 10u);
        for (std::size_t k = 0; k < want.size(); ++k) {
            const FinderMatch& g = got.matches[k];
            const FinderMatch& w = want[k];
            ASSERT_EQ(g.base, w.base) << k;
            ASSERT_EQ(g.row, w.row) << k;
            EXPECT_EQ(g.name, w.name) << k;
            EXPECT_EQ(g.fails, w.fails) << k;
            EXPECT_EQ(g.unknowns, w.unknowns) << k;
            EXPECT_EQ(g.failMask, w.failMask) << k;
            EXPECT_EQ(g.unknownMask, w.unknownMask) << k;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(g.distance), std::bit_cast<std::uint64_t>(w.distance))
                << k;
            EXPECT_EQ(g.texts, w.texts) << k;
        }

        // The open base alone: no texts until asked for, then those of the rows asked for only,
        // from the stored form of the loaded cells.
        FinderReport open = findInBase(*q, bases[0], names[0]);
        ASSERT_GT(open.matches.size(), 4u);
        const std::size_t half = open.matches.size() / 2;
        attachMatchTexts(*q, bases[0], 0, std::span(open.matches).subspan(half));
        for (std::size_t k = 0; k < open.matches.size(); ++k) {
            const FinderMatch& m = open.matches[k];
            if (k < half) {
                EXPECT_TRUE(m.texts.empty()) << k;
                continue;
            }
            std::vector<std::string> cells;
            for (const ActiveRule& a : q->rules)
                cells.push_back(bases[0].table.cell(m.row + 1, a.column));
            EXPECT_EQ(m.texts, cells) << k;
        }
    }
}

// A base whose device type is changed while open keeps the stored form of its cells: the LED
// colour column of the new type may hold loaded numbers. It reads as text like any other.
TEST(FinderFileReading, TypeChangedWhileOpenReadsColourColumnAsText)
{
    const ComponentBase typed = makeBase(1, {{"A", {{1, "5"}, {2, "<3"}}}, {"B", {{1, "0,25"}, {2, "7"}}}});
    auto bytes = encodeBase(typed);
    ASSERT_TRUE(bytes.ok());
    auto base = decodeBase(*bytes, shippedCatalogue());
    ASSERT_TRUE(base.ok());
    base->deviceType = 7;
    base->table.setColumnCount(tableColumnCount(7));
    base->applyTitles(shippedCatalogue());
    ASSERT_EQ(base->table.column(1).kind, CellKind::Value);
    const FinderSource source = finderSourceFromBase(*base);
    ASSERT_TRUE(source.column(1).text);
    expectSameSource(source, finderSourceFromTexts(*base), "type changed to 7");
}

}  // namespace

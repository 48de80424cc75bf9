// The finder's pieces on their own: rule texts and defaults, what a promise meets, name lookup,
// verdict texts.
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "base/devicetype.h"
#include "base/finder.h"
#include "base/ini.h"
#include "handmadelibrary.h"
#include "scratchdir.h"

using namespace veltris;
using handmade::cp;

namespace {

// ---- rule texts ----

TEST(SubstituteRules, TextsReadAndWriteBack)
{
    // Texts stored before tolerances and gates existed read as they always did.
    for (const char* t : {"off", "ge", "le", "eq", "gate", "ge:10", "ge:100", "le:10", "le:1000",
                          "band:10:20", "band:0:1000", "band:100:0"}) {
        const auto r = parseRuleText(t);
        ASSERT_TRUE(r.ok()) << t;
        EXPECT_EQ(ruleText(*r), t);
    }
    EXPECT_EQ(*parseRuleText(" GE "), (SubstituteRule{RuleKind::AtLeast}));
    EXPECT_EQ(*parseRuleText("Ge : 15"), (SubstituteRule{RuleKind::AtLeast, 15, 0}));
    EXPECT_EQ(*parseRuleText("LE:20"), (SubstituteRule{RuleKind::AtMost, 0, 20}));
    EXPECT_EQ(*parseRuleText("ge:0"), (SubstituteRule{RuleKind::AtLeast}));
    EXPECT_EQ(ruleText(*parseRuleText("ge:0")), "ge");
    EXPECT_EQ(*parseRuleText("Band: 5 : 7"), (SubstituteRule{RuleKind::Band, 5, 7}));
    for (const char* t :
         {"", "gt", "band", "band:5", "band:-1:5", "band:101:5", "band:5:1001", "band:a:b", "band:5:5:5",
          "ge le", "ge:", "ge:101", "ge:-5", "le:1001", "le:x", "gate:1", "eq:5", "general"}) {
        const auto r = parseRuleText(t);
        ASSERT_FALSE(r.ok()) << t;
        EXPECT_NE(r.error().message.find("правило"), std::string::npos);
    }
    // Options follow the rule after a blank, in any order, and write back in one order.
    const auto opt = parseRuleText("band:3:3  window known");
    ASSERT_TRUE(opt.ok());
    EXPECT_TRUE(opt->options.required && opt->options.window);
    EXPECT_EQ(ruleText(*opt), "band:3:3 known window");
    EXPECT_EQ(ruleKindText(*opt), "band:3:3");
    for (const char* t : {"ge:10 known", "le:50 at:9", "le:100 known below:0,01",
                          "band:30:300 class:darlington", "ge:20 known class:marks", "Band : 5 : 7 KNOWN"}) {
        const auto r = parseRuleText(t);
        ASSERT_TRUE(r.ok()) << t;
        EXPECT_EQ(*parseRuleText(ruleText(*r)), *r) << t;
    }
    EXPECT_EQ(parseRuleText("le:100 below:0,01")->options.onlyBelow, 0.01);
    EXPECT_EQ(parseRuleText("le:50 at:9")->options.condition, 9);
    for (const char* t :
         {"ge known2", "ge at:", "ge at:x", "ge below:", "ge below:-1", "ge class:x", "known"}) {
        const auto r = parseRuleText(t);
        EXPECT_FALSE(r.ok()) << t;
    }
    EXPECT_EQ(ruleOptionsLabel(parseRuleText("ge known at:9")->options),
              "обязательно известно, при тех же условиях (столбец 9)");
    EXPECT_EQ(ruleLabel({RuleKind::AtLeast, 10, 0}), "не меньше -10 %");
    EXPECT_EQ(ruleLabel({RuleKind::AtMost, 0, 0}), "не больше");
    EXPECT_EQ(ruleLabel({RuleKind::Band, 30, 200}), "в пределах -30..+200 %");
    EXPECT_EQ(ruleLabel({RuleKind::Gate}), "обязательно равно");
}

TEST(SubstituteRules, ShippedDefaultsFollowTheirPrinciples)
{
    const auto defaults = SubstituteDefaults::load(VELTRIS_SOURCE_DIR "/data");
    ASSERT_TRUE(defaults.ok()) << defaults.error().message;
    for (const DeviceType& type : supportedDeviceTypes()) {
        const RuleSet rules = defaults->rules(type.code);
        ASSERT_EQ(rules.size(), static_cast<std::size_t>(type.columnCount));
        int active = 0;
        for (const SubstituteRule& r : rules)
            active += r.kind != RuleKind::Off;
        EXPECT_GT(active, type.columnCount / 2) << type.code;
        // Another package is no failure unless the user asks for it.
        EXPECT_EQ(rules[static_cast<std::size_t>(packageColumn(type.code) - 1)].kind, RuleKind::Off)
            << type.code;
    }
    // Structure and colour decide what a part is: a failure removes the candidate.
    EXPECT_EQ(defaults->rules(1)[0].kind, RuleKind::Gate);
    EXPECT_EQ(defaults->rules(7)[0].kind, RuleKind::Gate);
    // A voltage rating is compared with a tolerance: 65 V and 60 V are the same class of part.
    EXPECT_EQ(defaults->rules(1)[1], *parseRuleText("ge:10 known"));
    EXPECT_EQ(defaults->rules(3)[0], *parseRuleText("ge:10 known"));
    // The figures that make a part what it is must be known: a candidate that does not give
    // them is no full match.
    const std::pair<int, int> key[] = {{1, 1}, {1, 2}, {1, 5}, {3, 1}, {3, 3},
                                       {3, 7}, {4, 1}, {6, 1}, {6, 3}, {7, 1}};
    for (const auto& [type, column] : key)
        EXPECT_TRUE(defaults->rules(type)[static_cast<std::size_t>(column - 1)].options.required)
            << type << " " << column;
    // The zener voltage is one window; Darlingtons and triacs are other classes of device.
    EXPECT_TRUE(defaults->rules(4)[0].options.window);
    EXPECT_EQ(defaults->rules(4)[1].kind, RuleKind::Off);
    EXPECT_EQ(defaults->rules(1)[13].options.classBy, DeviceClassBy::Darlington);
    EXPECT_EQ(defaults->rules(6)[2].options.classBy, DeviceClassBy::Marks);
    EXPECT_EQ(defaults->rules(4)[5].options.condition, 9);   // rст at Iст
    EXPECT_EQ(defaults->rules(7)[1].options.condition, 10);  // Iv at Iпр
}

TEST(SubstituteRules, MissingOrDamagedDefaultsFileIsNamed)
{
    const auto missing = SubstituteDefaults::load(VELTRIS_SOURCE_DIR "/no-such-folder");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, ErrorKind::OpenFailed);

    const std::string shipped = IniFile::loadOrEmpty(VELTRIS_SOURCE_DIR "/data/substitute.ini").toBytes();
    std::string badKey = shipped;
    badKey.replace(badKey.find("Col_2=ge:10"), 11, "Col_2=ge:1O");
    std::string noSection = shipped;
    noSection.replace(noSection.find("[Type_6]"), 8, "[Type_9]");
    const std::pair<std::string, std::string> cases[] = {
        {std::string("\0\x01\x02 binary\xff", 11), "Type_1"},
        {"", "Type_1"},
        {badKey, "ge:1O"},
        {noSection, "Type_6"},
    };
    for (const auto& [bytes, named] : cases) {
        ScratchDir dir;
        dir.write("substitute.ini", bytes);
        const auto got = SubstituteDefaults::load(dir.path());
        ASSERT_FALSE(got.ok()) << named;
        EXPECT_NE(got.error().message.find("повреждён"), std::string::npos) << got.error().message;
        EXPECT_NE(got.error().message.find((dir.path() / "substitute.ini").string()), std::string::npos);
        EXPECT_NE(got.error().message.find(named), std::string::npos) << got.error().message;
    }
}

TEST(SubstituteRules, UserRulesLiveInTheirOwnSettingsSection)
{
    RuleSet defaults(13);
    defaults[0] = {RuleKind::Band, 5, 5};
    defaults[1] = {RuleKind::AtLeast, 5, 0};
    IniFile ini = IniFile::fromBytes("[Settings]\r\niStandard=80\r\n");
    RuleSet mine = defaults;
    mine[1] = {RuleKind::Off};
    mine[4] = {RuleKind::AtLeast, 20, 0};
    mine[5] = {RuleKind::Gate};
    writeUserRules(ini, 4, mine, defaults);
    EXPECT_EQ(readUserRules(ini, 4, defaults), mine);
    EXPECT_EQ(ini.readString(ruleSection(4), "Col_5", ""), "ge:20");
    EXPECT_EQ(ini.readInt("Settings", "iStandard", 0), 80);
    EXPECT_FALSE(ini.hasKey(ruleSection(4), "Col_1"));  // only the changes are written
    EXPECT_FALSE(ini.hasKey(ruleSection(3), "Col_1"));

    // Set back to the default: the stored change is overwritten, not left behind.
    mine[1] = defaults[1];
    writeUserRules(ini, 4, mine, defaults);
    EXPECT_EQ(readUserRules(ini, 4, defaults), mine);

    // A damaged key keeps the default; the colour code column knows equal and gate only.
    IniFile damaged = IniFile::fromBytes(
        "[Substitute_7]\r\nCol_2=sometimes\r\nCol_1=ge\r\n[Substitute_1]\r\nCol_1=gate\r\n");
    RuleSet led(13);
    led[1] = {RuleKind::AtLeast, 30, 0};
    const RuleSet read = readUserRules(damaged, 7, led);
    EXPECT_EQ(read[1], led[1]);
    EXPECT_EQ(read[0].kind, RuleKind::Equal);
    IniFile gate = IniFile::fromBytes("[Substitute_7]\r\nCol_1=gate\r\n");
    EXPECT_EQ(readUserRules(gate, 7, led)[0].kind, RuleKind::Gate);
}

// ---- what a promise meets ----

TEST(SubstituteGuarantees, EachPromiseAgainstEachRule)
{
    struct Case {
        const char* rule;
        const char* reference;
        const char* candidate;
        Verdict expected;
    };
    const Case cases[] = {
        // Two guarantees on the same side are compared; the weaker one does not promise enough.
        {"ge", ">900", ">100", Verdict::NotGuaranteed},
        {"ge", ">900", ">900", Verdict::Pass},
        {"ge", ">900", ">1000", Verdict::Pass},
        {"ge", "900", ">100", Verdict::NotGuaranteed},
        {"le", "<4", "<10", Verdict::NotGuaranteed},
        {"le", "<4", "<2", Verdict::Pass},
        // The opposite side cannot be compared, unless it already settles the question.
        {"ge", ">900", "<1000", Verdict::Unknown},
        {"ge", ">900", "<500", Verdict::Fail},
        {"le", "<4", ">2", Verdict::Unknown},
        {"le", "<4", ">5", Verdict::Fail},
        // Plain values and ranges pass or fail.
        {"ge", ">900", "1000", Verdict::Pass},
        {"ge", ">900", "500", Verdict::Fail},
        {"ge", "100", "", Verdict::Unknown},
        {"ge", "100", "0", Verdict::Unknown},
        // Tolerances.
        {"ge:10", "65", "60", Verdict::Pass},
        {"ge:10", "65", "58", Verdict::Fail},
        {"ge:10", "65", ">58", Verdict::NotGuaranteed},
        {"le:10", "10", "11", Verdict::Pass},
        {"le:10", "10", "11,5", Verdict::Fail},
        // A band follows the reference's side.
        {"band:30:200", ">12", "15-75", Verdict::Pass},
        {"band:30:200", ">12", "5-75", Verdict::Fail},
        {"band:30:200", ">12", ">20", Verdict::Pass},
        {"band:30:200", "<100", "20-250", Verdict::Pass},
        {"band:30:200", "<100", "20-350", Verdict::Fail},
        {"band:30:200", "50-350", "20-600", Verdict::Fail},
        {"band:30:200", "50-350", "40-900", Verdict::Pass},
        {"band:30:200", "50-350", ">40", Verdict::Unknown},
        {"band:30:200", "50-350", ">20", Verdict::NotGuaranteed},
        // Equal and gate.
        {"eq", "7", "7", Verdict::Pass},
        {"eq", "7", "29", Verdict::Fail},
        {"gate", "1", "2", Verdict::Fail},
        {"gate", "1", "", Verdict::Unknown},
    };
    for (const Case& c : cases) {
        const SubstituteRule rule = *parseRuleText(c.rule);
        const CellMeaning ref = cellMeaning(cp(c.reference));
        const CellMeaning cand = cellMeaning(cp(c.candidate));
        ASSERT_NE(ref.known, 0) << c.reference;
        const Verdict got = verdictOf(judgeCell(ruleTarget(rule, ref), cand.known, cand.lo, cand.hi));
        EXPECT_EQ(got, c.expected) << c.rule << " " << c.reference << " / " << c.candidate;
    }
}

TEST(SubstituteGuarantees, MissesAndRepresentativesStayFinite)
{
    const RuleTarget atLeast = ruleTarget({RuleKind::AtLeast}, {100, 100, kKnownLow | kKnownHigh});
    EXPECT_NEAR(cellMiss(atLeast, kKnownLow | kKnownHigh, 50, 50), std::log(2.0), 1e-12);
    EXPECT_NEAR(cellMiss(atLeast, kKnownLow, 25, 25), std::log(4.0), 1e-12);
    EXPECT_EQ(cellMiss(atLeast, kKnownLow | kKnownHigh, 150, 150), 0);
    EXPECT_TRUE(std::isfinite(cellMiss(atLeast, kKnownLow | kKnownHigh, 0, 300)));
    EXPECT_NEAR(cellDeviation(atLeast, 100, 100, kKnownLow | kKnownHigh, 92, 92), -8, 1e-9);
    // A range from zero, a value near the top of the doubles, a subnormal one.
    for (const auto& [lo, hi] : {std::pair{0.0, 300.0}, std::pair{1e300, 1e307}, std::pair{5e-320, 1.0}})
        EXPECT_TRUE(std::isfinite(logRepresentative(lo, hi))) << lo << " " << hi;
}

// ---- names ----

TEST(SubstituteNames, TypedNamesFindEveryPartTheyCanMean)
{
    const std::vector<std::string> names = {cp("КТ3102Б"), cp("КТ3102В"), cp("КТ315Б"),  cp("КТ 315В"),
                                            "BC547B",      cp("КД522Б"),  cp("2Т312-А"), cp("КТ315Г"),
                                            cp("KT315Г"),  cp("АЛ307А")};
    const auto nameOf = [&](int i) { return std::string_view(names[static_cast<std::size_t>(i)]); };
    struct Case {
        const char* typed;
        std::vector<int> picked;  // one record, or the candidates
    };
    const Case cases[] = {
        {"kt3102b", {0, 1}},  // b as Б (transliteration) and as В (look-alike)
        {"kt315b", {2, 3}},  {"kt 315 b", {2, 3}}, {"КТ 315Б", {2}},
        {"kt-315б", {2}},    {"кт315в", {3}},      {"bc547b", {4}},  // a Latin name
        {"вс547в", {4}},                                             // typed with Cyrillic look-alikes
        {"kd522b", {5}},                                             // d only transliterates
        {"2t312a", {6}},     {"кт315г", {7}},                        // the same part written twice: the first
        {"al307a", {9}},     {"3102", {0, 1}},                       // only parts of names: both
        {"307", {9}},                                                // one part of a name: that one
        {"999", {}},
    };
    for (const Case& c : cases) {
        const NameLookup lookup = lookUpName(cp(c.typed), static_cast<int>(names.size()), nameOf);
        const NamePick pick = pickByName(lookup, nameOf);
        if (c.picked.size() == 1) {
            EXPECT_EQ(pick.record, c.picked[0]) << c.typed;
            EXPECT_TRUE(pick.candidates.empty()) << c.typed;
        } else {
            EXPECT_EQ(pick.record, -1) << c.typed;
            EXPECT_EQ(pick.candidates, c.picked) << c.typed;
        }
    }
    // A list shows whole names first, then the names holding the typed text.
    EXPECT_EQ(lookUpName(cp("kt315"), static_cast<int>(names.size()), nameOf).all(),
              (std::vector<int>{2, 3, 7, 8}));
    const NameLookup whole = lookUpName(cp("КТ315В"), static_cast<int>(names.size()), nameOf);
    EXPECT_EQ(whole.whole, (std::vector<int>{3}));
    EXPECT_TRUE(NamePattern(" - ").empty());
    EXPECT_EQ(NamePattern("315").fit(cp("КТ315Б")), NamePattern::Fit::Part);
    EXPECT_EQ(NamePattern("kt315b").fit(cp("КТ315Б")), NamePattern::Fit::Whole);
    EXPECT_EQ(NamePattern("kt316").fit(cp("КТ315Б")), NamePattern::Fit::None);
}

// ---- verdict texts ----

TEST(SubstituteVerdicts, ClassAndReasonsReadAsAnEngineerSaysThem)
{
    std::vector<std::string> titles(31);
    titles[2] = cp("Uкэ max,|В");
    titles[6] = cp("Iк имп|max, мА");
    titles[15] = cp("fгр,|МГц");
    titles[30] = cp("Корпус|(№ рис.)");
    FinderQuery q;
    q.deviceType = 1;
    for (int c : {2, 6, 15, 30}) {
        ActiveRule a;
        a.column = c;
        a.rule = {c == 30 ? RuleKind::Equal : RuleKind::AtLeast};
        q.rules.push_back(a);
    }
    FinderMatch m;
    m.package = PackageMatch::Same;
    EXPECT_EQ(matchVerdictText(q, m, titles), "прямая замена");
    m.package = PackageMatch::Other;
    EXPECT_EQ(matchVerdictText(q, m, titles), "замена");
    // What cannot be told is named: no value, or a figure of another kind («не сравнимо»).
    m.unknowns = 2;
    m.unknownMask = 0b0110;
    EXPECT_EQ(matchVerdictText(q, m, titles), "замена, не известно: Iк имп, fгр");
    m.otherMask = 0b0100;
    EXPECT_EQ(matchVerdictText(q, m, titles), "замена, не известно: Iк имп; не сравнимо: fгр");
    m.otherMask = 0;

    m = FinderMatch{};
    m.fails = 2;
    m.failMask = 0b1001;
    m.missPercent[0] = -7.7f;
    m.missPercent[1] = NAN;
    EXPECT_EQ(matchVerdictText(q, m, titles), "близкая: Uкэ −8 %, корпус");
    m.fails = 3;
    m.failMask = 0b1101;
    m.weakMask = 0b0100;
    m.missPercent = {-7.7f, -89, NAN};
    m.unknowns = 1;
    m.unknownMask = 0b0010;
    EXPECT_EQ(matchVerdictText(q, m, titles),
              "близкая: Uкэ −8 %, fгр не гарантировано, корпус; не известно: Iк имп");
    q.unknownFails = true;
    EXPECT_EQ(matchVerdictText(q, m, titles),
              "близкая: Uкэ −8 %, fгр не гарантировано, корпус, Iк имп не известно");
    // A figure a rule must have («обязательно известно») and the candidate does not give fails,
    // named as unknown or not comparable.
    q.unknownFails = false;
    m = FinderMatch{};
    m.fails = 1;
    m.failMask = 0b0100;
    m.unknownMask = 0b0100;
    m.otherMask = 0b0100;
    m.missPercent.fill(NAN);
    EXPECT_EQ(matchVerdictText(q, m, titles), "близкая: fгр не сравнимо");
    m.otherMask = 0;
    EXPECT_EQ(matchVerdictText(q, m, titles), "близкая: fгр не известно");

    EXPECT_EQ(percentText(-7.7), "−8 %");
    EXPECT_EQ(percentText(250), "+250 %");
    EXPECT_EQ(percentText(-0.42), "−0,4 %");
    EXPECT_EQ(parameterShortName(cp("Pк max|с теплоотв.,|Вт")), "Pк max с теплоотв.");
    EXPECT_EQ(parameterShortName(cp("h21э")), "h21э");
    EXPECT_EQ(parameterShortName(cp("Длина|волны|в max, нм")), "Длина волны");
}

}  // namespace

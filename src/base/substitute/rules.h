#pragma once
// The finder's rules: what a candidate's parameter must be, judged against the reference's.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace veltris {

enum class RuleKind : std::uint8_t {
    Off,      // «не учитывать»
    AtLeast,  // «не меньше»: at least the reference's value, less the tolerance
    AtMost,   // «не больше»: at most the reference's value, plus the tolerance
    Equal,    // «равно»: within the reference's value (a range: within its ends)
    Band,     // «в пределах»: from reference - p % to reference + q %
    Gate,  // «обязательно равно»: as «равно», and a candidate failing it is no candidate
};

// The percents live in the two fields the rules table edits as −p and +q:
//   Band     both, the band's spreads;
//   AtLeast  minusPercent, the tolerance below the reference (ge:10: at least 90 % of it);
//   AtMost   plusPercent, the tolerance above it (le:10: at most 110 % of it);
//   the other kinds none (kept 0).
// What makes two parts the same kind of device, told by one figure (RuleOptions::classBy).
enum class DeviceClassBy : std::uint8_t {
    None,
    // «составной»: a lower end of h21э an order of magnitude away from the reference's, the
    // higher of the two at least kDarlingtonGain, is a Darlington against a single transistor.
    Darlington,
    // The figure's brackets tell the class: the base writes the figure of one class plain and of
    // the other in brackets (a triac's current in a base of thyristors).
    Marks,
};

// The lower end of h21э no single transistor guarantees.
constexpr double kDarlingtonGain = 500;

// What a rule asks beyond its kind and percents (typed after the rule, blank-separated):
//   known         «обязательно известно»: a candidate that cannot tell the figure (no value, or
//                 one measured otherwise) fails the rule;
//   at:N          the figure is measured at the condition in column N: figures taken at
//                 different conditions are «не сравнимо»;
//   window        zener voltage: the nominal, the least and the most (columns 1..3) read as one
//                 window, which must lie within the reference's with the rule's percents;
//   below:X       the rule applies only to references whose figure is at most X (in the
//                 column's units): a compensated zener's ТКН;
//   class:darlington, class:marks  a class gate (DeviceClassBy).
struct RuleOptions {
    bool required = false;
    int condition = 0;  // 0: none
    bool window = false;
    double onlyBelow = 0;  // 0: always
    DeviceClassBy classBy = DeviceClassBy::None;
    bool operator==(const RuleOptions&) const = default;
};

struct SubstituteRule {
    RuleKind kind = RuleKind::Off;
    int minusPercent = 0;  // 0..kMaxBandMinus
    int plusPercent = 0;   // 0..kMaxBandPlus
    RuleOptions options{};
    bool operator==(const SubstituteRule&) const = default;
};

// One rule per parameter column: entry c-1 for column c (1..C).
using RuleSet = std::vector<SubstituteRule>;

constexpr int kMaxBandMinus = 100;
constexpr int kMaxBandPlus = 1000;

// Whether a kind takes the −p and the +q percent.
bool ruleTakesMinus(RuleKind kind);
bool ruleTakesPlus(RuleKind kind);

// Russian caption of a rule kind (UTF-8): «не учитывать», «не меньше», «не больше», «равно»,
// «в пределах», «обязательно равно».
const char* ruleCaption(RuleKind kind);

// The caption with the rule's percents, UTF-8: «не меньше», «не меньше −10 %», «не больше +20 %»,
// «в пределах -30..+200 %».
std::string ruleLabel(const SubstituteRule& rule);

// Rule text as stored and typed: "off", "ge", "ge:P", "le", "le:Q", "eq", "gate", "band:P:Q"
// (P 0..100, Q 0..1000, whole percents), then the options of RuleOptions, each after a blank
// ("ge:10 known", "le:50 at:9"). ASCII letters in any case; blanks around the parts are
// allowed. Texts written before tolerances and gates existed read as they always did.
// Error: Generic with a Russian text quoting `text` (UTF-8 in, as typed on a command line).
Result<SubstituteRule> parseRuleText(std::string_view text);
// The shortest text that reads back as `rule` ("ge" for a tolerance of 0), options included.
std::string ruleText(const SubstituteRule& rule);
// The text of the kind and percents alone ("ge:10"), as machine output has always given it.
std::string ruleKindText(const SubstituteRule& rule);
// The options in words, UTF-8: «обязательно известно, при том же столбце 9»; empty for none.
std::string ruleOptionsLabel(const RuleOptions& options);

// Whether a column holds a text code (the LED colour code) rather than numbers; only «равно»,
// «обязательно равно» and «не учитывать» mean something there.
bool isTextParameter(int deviceType, int column);
// The kinds a column can take, in the order a list offers them.
std::vector<RuleKind> ruleKindsFor(int deviceType, int column);

// The column of the package drawing number: the last parameter column of every type; 0 for a
// type without a catalogue.
int packageColumn(int deviceType);

}  // namespace veltris

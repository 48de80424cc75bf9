#pragma once
// The words a user reads about a match: its class and the reasons, and each parameter's verdict.
// All texts UTF-8.
#include <span>
#include <string>
#include <string_view>

#include "base/substitute/ranking.h"

namespace veltris {

struct FinderQuery;

// «подходит», «не подходит», «неизвестно», «не гарантировано».
const char* verdictCaption(Verdict verdict);
// The same for machine output: "pass", "fail", "unknown", "not_guaranteed".
const char* verdictKeyword(Verdict verdict);

// «прямая замена», «замена», «замена, не известно», «близкая».
const char* matchClassCaption(MatchClass matchClass);
// "direct", "full", "unknown", "near".
const char* matchClassKeyword(MatchClass matchClass);

// A column title made short for a list of reasons: the part before its unit, '|' read as a
// blank, a trailing "max" dropped ("Uкэ max,|В" -> "Uкэ", "Iк имп|max, мА" -> "Iк имп");
// «корпус» for the package column. `titleCp1251` as the base's title row holds it.
std::string parameterShortName(std::string_view titleCp1251, bool package = false);

// The verdict of a match with its reasons:
//   «прямая замена»               every rule passes and the package is the reference's;
//   «замена»                      every rule passes;
//   «замена, не известно: tвосст, Cд»  nothing fails, the rules named cannot be told («не
//                                 сравнимо: fгр» for a figure of another kind or condition;
//                                 «замена, класс не известен» where a class gate cannot tell);
//   «близкая: Uкэ −8 %, корпус»   the failing parameters in rule order, each with its deviation
//                                 from the reference where there is a number to tell, «…
//                                 не гарантировано» for a guarantee too weak, «… не известно» /
//                                 «… не сравнимо» for a figure a rule must have and the candidate
//                                 cannot give (or for an unknown counted as failing); then
//                                 «; не известно: …» for the unknown ones that do not fail.
// `titlesCp1251[c]` is the title of column c of the reference's base (a missing one reads as
// «столбец c»).
std::string matchVerdictText(const FinderQuery& query, const FinderMatch& match,
                             std::span<const std::string> titlesCp1251);

// A signed percent as the verdicts write it: «−8 %», «+250 %», «−0,4 %».
std::string percentText(double percent);

}  // namespace veltris

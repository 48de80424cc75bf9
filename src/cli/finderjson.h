#pragma once
// The texts qdb writes about the finder's results: JSON and TSV fields and one match as JSON, the
// same for one part (qdb similar) and for every line of a parts list (qdb similar --list).
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "base/finder.h"

namespace qdb {

// A number with three decimals and `point` as its decimal mark; empty when not finite.
std::string numberText(double d, char point);
// Bytes that should be UTF-8 (a file name) as valid UTF-8: a byte outside a well-formed
// sequence is read as the Windows-1251 character it is there.
std::string validUtf8(std::string_view bytes);
std::string jsonString(std::string_view utf8);
std::string jsonNumber(double d);
// A field of a TSV row: control characters become blanks.
std::string tsvField(std::string_view utf8);

// Match k of the report as a JSON object: rank, name, base, row, fails, unknown,
// not_guaranteed, class, verdict, same_package, distance, favour, shortfall, params.
// `titlesCp1251` are the reference base's column titles.
std::string matchJson(const veltris::FinderReport& report, const veltris::FinderQuery& query,
                      std::span<const std::string> titlesCp1251, std::size_t k);

}  // namespace qdb

#include "cli/finderjson.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "base/cp1251.h"

namespace qdb {

using namespace veltris;

namespace {

// "verdict" keeps the three values readers of this output know: a guarantee too weak is a
// failure there; "kind" tells it apart ("not_guaranteed").
const char* compatibleVerdict(Verdict v)
{
    return verdictKeyword(v == Verdict::NotGuaranteed ? Verdict::Fail : v);
}

// Why a figure cannot tell, where it cannot: "not_comparable" (another kind of figure or another
// condition than the reference's), "unknown" (no value); null where it tells.
const char* reasonWord(const FinderMatch& m, std::size_t j)
{
    if (m.otherMask >> j & 1u)
        return "\"not_comparable\"";
    if (m.unknownMask >> j & 1u)
        return "\"unknown\"";
    return "null";
}

const char* packageWord(PackageMatch p)
{
    return p == PackageMatch::Same ? "true" : p == PackageMatch::Other ? "false" : "null";
}

}  // namespace

// A distance for machine output; empty when it is not a finite number.
std::string numberText(double d, char point)
{
    if (!std::isfinite(d))
        return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", d);
    std::string s = buf;
    for (char& c : s)
        c = c == '.' ? point : c;
    return s;
}

// Bytes that should be UTF-8 (a file name) as valid UTF-8: each byte that does not belong to a
// well-formed sequence is read as the Windows-1251 character it is there.
std::string validUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        std::uint32_t min = 0;
        std::uint32_t cp = 0;
        if (b0 < 0x80) {
            out += static_cast<char>(b0);
            ++i;
            continue;
        }
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2, min = 0x80, cp = b0 & 0x1Fu;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3, min = 0x800, cp = b0 & 0x0Fu;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4, min = 0x10000, cp = b0 & 0x07u;
        }
        bool ok = length > 0 && i + length <= bytes.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            ok = (b & 0xC0u) == 0x80u;
            cp = cp << 6 | (b & 0x3Fu);
        }
        ok = ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (ok) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out += cp1251ToUtf8(bytes.substr(i, 1));
            ++i;
        }
    }
    return out;
}

std::string jsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string jsonNumber(double d)
{
    const std::string text = numberText(d, '.');
    return text.empty() ? "null" : text;
}

// A field of a TSV row: tabs, line ends and other control characters would break the row, so
// each becomes a blank.
std::string tsvField(std::string_view utf8)
{
    std::string out(utf8);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return out;
}

std::string matchJson(const FinderReport& report, const FinderQuery& query,
                      std::span<const std::string> titles, std::size_t k)
{
    const FinderMatch& m = report.matches[k];
    std::string out =
        "{\"rank\":" + std::to_string(k + 1) + ",\"name\":" + jsonString(cp1251ToUtf8(m.name)) +
        ",\"base\":" + jsonString(validUtf8(report.baseFiles[static_cast<std::size_t>(m.base)])) +
        ",\"row\":" + std::to_string(m.row + 1) + ",\"fails\":" + std::to_string(m.fails) +
        ",\"unknown\":" + std::to_string(m.unknowns) +
        ",\"not_guaranteed\":" + std::to_string(std::popcount(m.weakMask)) + ",\"class\":\"" +
        matchClassKeyword(matchClass(m)) + "\"" +
        ",\"verdict\":" + jsonString(matchVerdictText(query, m, titles)) +
        ",\"same_package\":" + packageWord(m.package) + ",\"distance\":" + jsonNumber(m.distance) +
        ",\"favour\":" + jsonNumber(m.favour) + ",\"shortfall\":" + jsonNumber(m.shortfall) + ",\"params\":[";
    for (std::size_t j = 0; j < query.rules.size(); ++j) {
        out += (j ? "," : "");
        out += "{\"column\":" + std::to_string(query.rules[j].column) +
               ",\"text\":" + jsonString(cp1251ToUtf8(m.texts[j])) + ",\"verdict\":\"" +
               compatibleVerdict(m.verdict(j)) + "\"" + ",\"kind\":\"" + verdictKeyword(m.verdict(j)) +
               "\",\"reason\":" + reasonWord(m, j) + "}";
    }
    out += "]}";
    return out;
}

}  // namespace qdb

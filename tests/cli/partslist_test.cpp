// qdb similar --list over the real parts' library: a parts list as an engineer writes it (ЕСКД,
// CSV and a workbook made by another program), each line's outcome, and each found line's
// replacements exactly as a search for that part alone gives them.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace qdbtest;

namespace {

const fs::path kLists = fs::path(VELTRIS_SOURCE_DIR) / "tests/fixtures/partslists";
const fs::path kLibrary = VELTRIS_REALPARTS_DIR;

// The JSON array that follows `key` at or after `from` (brackets inside strings skipped).
std::string arrayAfter(const std::string& json, const std::string& key, std::size_t from = 0)
{
    const auto at = json.find(key, from);
    if (at == std::string::npos)
        return {};
    const auto open = json.find('[', at);
    int depth = 0;
    bool inString = false;
    for (std::size_t i = open; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']' && --depth == 0) {
            std::string out = json.substr(open, i - open + 1);
            std::erase(out, '\n');
            return out;
        }
    }
    return {};
}

// A string field of the object at `from`: "key":"value".
std::string field(const std::string& json, const std::string& key, std::size_t from)
{
    const std::string k = "\"" + key + "\":";
    const auto at = json.find(k, from);
    if (at == std::string::npos)
        return {};
    const auto start = at + k.size();
    if (json[start] != '"')
        return json.substr(start, json.find_first_of(",}", start) - start);
    return json.substr(start + 1, json.find('"', start + 1) - start - 1);
}

struct Expected {
    int line;
    const char* status;
    const char* part;  // found: the part; ambiguous: the candidates
    const char* quantity;
};

// The fixture's lines as an engineer reads them. Group rows («Диоды», «Транзисторы» ...) and
// the carried-on designation of the resistor are no lines.
const std::vector<Expected> kEskd = {
    {3, "found", "КД522Б", "2"},
    {4, "found", "1N4148", "1"},
    {5, "found", "КД243Г", "4"},
    {7, "found", "Д814А", "1"},
    {9, "found", "КТ315Б", "4"},
    {10, "found", "КТ361Г", "1"},             // «КТ 361Г»: the blank does not count
    {11, "ambiguous", "КТ315Б,КТ315Г", "1"},  // no group letter
    {12, "found", "BC547B", "1"},             // no quantity: one designator
    {13, "found", "КТ3102Б", "1"},            // typed in Latin letters
    {15, "not_found", "", "1"},               // a microcircuit
    {17, "not_found", "", "3"},               // a resistor; «R1…R3»
};

// Checks the JSON of a list run against the expected lines; `lineShift` is where the list's
// rows start in the file. Each found line's matches must be those of `qdb similar` for it alone.
void checkLines(const std::string& json, int lineShift, const fs::path& scratch)
{
    std::size_t at = 0;
    for (const Expected& e : kEskd) {
        at = json.find("{\"line\":", at);
        ASSERT_NE(at, std::string::npos) << "line " << e.line;
        EXPECT_EQ(field(json, "line", at), std::to_string(e.line + lineShift));
        EXPECT_EQ(field(json, "status", at), e.status) << "line " << e.line;
        EXPECT_EQ(field(json, "quantity", at), e.quantity) << "line " << e.line;
        const std::string status = e.status;
        if (status == "found") {
            const auto part = json.find("\"part\":", at);
            EXPECT_EQ(field(json, "name", part), e.part) << "line " << e.line;
            const std::string base = field(json, "base", part);
            const QdbRun alone = runQdb({"similar", base, "--like", e.part, "--library", kLibrary.string(),
                                         "--format", "json", "--top", "3"},
                                        scratch);
            ASSERT_EQ(alone.exitCode, 0) << alone.err;
            const std::string matches = arrayAfter(json, "\"matches\":", at);
            EXPECT_EQ(matches, arrayAfter(alone.out, "\"matches\":")) << "line " << e.line;
            EXPECT_NE(matches, "[]") << "line " << e.line;
        } else if (status == "ambiguous") {
            std::string names = arrayAfter(json, "\"candidates\":", at);
            std::erase(names, '"');
            EXPECT_EQ(names, std::string("[") + e.part + "]");
        }
        at += 1;
    }
    EXPECT_EQ(json.find("{\"line\":", at), std::string::npos) << "more lines than expected";
}

TEST(PartsListCli, EskdListInCsvAndWorkbookFindsEachLineAsAnEngineerExpects)
{
    ScratchDir scratch;
    const QdbRun csv = runQdb({"similar", "--list", (kLists / "eskd.csv").string(), "--library",
                               kLibrary.string(), "--format", "json"},
                              scratch.path());
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    checkLines(csv.out, 0, scratch.path());

    // The same list in a workbook made by another program, two rows lower (a title above it).
    const QdbRun xlsx = runQdb({"similar", "--list", (kLists / "eskd.xlsx").string(), "--library",
                                kLibrary.string(), "--format", "json"},
                               scratch.path());
    ASSERT_EQ(xlsx.exitCode, 0) << xlsx.err;
    checkLines(xlsx.out, 2, scratch.path());

    // Another sheet of it, chosen by name: a plain list of names.
    const QdbRun spare = runQdb({"similar", "--list", (kLists / "eskd.xlsx").string(), "--sheet", "Запас",
                                 "--library", kLibrary.string(), "--format", "json"},
                                scratch.path());
    ASSERT_EQ(spare.exitCode, 0) << spare.err;
    EXPECT_EQ(field(spare.out, "name", spare.out.find("\"part\"")), "КТ315Г");
}

TEST(PartsListCli, OnlyAListThatCannotBeReadFails)
{
    ScratchDir scratch;
    const fs::path empty = scratch.write("empty.csv", "\r\n\r\n");
    const fs::path broken = scratch.write("broken.xlsx", std::string("PK\x03\x04", 4) + "not a zip at all");
    const fs::path names = scratch.write("names.txt", "К140УД7\nКТ9999Я\n");
    const std::string lib = kLibrary.string();
    struct Case {
        std::vector<std::string> args;
        int exit;
        const char* err;
    };
    const std::vector<Case> cases = {
        {{"similar", "--list", empty.string(), "--library", lib}, 1, "нет ни одной строки"},
        {{"similar", "--list", broken.string(), "--library", lib}, 1, "не является книгой XLSX"},
        {{"similar", "--list", (kLists / "eskd.xlsx").string(), "--sheet", "Нет", "--library", lib},
         1,
         "нет листа «Нет»"},
        {{"similar", "--list", names.string(), "--library", lib}, 0, "не найдено: 2"},
        {{"similar", "--list", names.string()}, 1, "укажите, где искать"},
        {{"similar", "--list", names.string(), "--library", lib, "--format", "xlsx"}, 1, "-o ФАЙЛ"},
    };
    for (const Case& c : cases) {
        const QdbRun run = runQdb(c.args, scratch.path());
        EXPECT_EQ(run.exitCode, c.exit) << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
}

TEST(PartsListCli, ScopesOfReplacements)
{
    ScratchDir scratch;
    const std::string list = scratch.write("list.txt", "КТ315Б\nКД522Б\n").string();
    const std::string lib = kLibrary.string();
    // Own base: every replacement from the part's base; chosen bases: only from those.
    const QdbRun own = runQdb({"similar", "--list", list, "--library", lib, "--own-base", "--format", "json"},
                              scratch.path());
    ASSERT_EQ(own.exitCode, 0) << own.err;
    const std::string ownMatches = arrayAfter(own.out, "\"matches\":");
    const auto count = [](const std::string& s, const std::string& what) {
        std::size_t n = 0;
        for (auto at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count(ownMatches, "\"base\":"), 3u);
    EXPECT_EQ(count(ownMatches, "bipolar.QDB\""), 3u);
    const QdbRun shelf = runQdb({"similar", "--list", list, "--library", lib, "--within",
                                 (kLibrary / "diodes.QDB").string(), "--format", "json", "--top", "0"},
                                scratch.path());
    ASSERT_EQ(shelf.exitCode, 0) << shelf.err;
    const auto second = shelf.out.find("{\"line\":2");
    ASSERT_NE(second, std::string::npos);
    // КТ315Б has nothing on a shelf of diodes; КД522Б finds diodes there.
    EXPECT_EQ(arrayAfter(shelf.out, "\"matches\":"), "[]");
    EXPECT_NE(arrayAfter(shelf.out, "\"matches\":", second), "[]");
}

}  // namespace

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/cp1251.h"
#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace veltris;
using namespace qdbtest;

namespace {

// Uкэ max (2), Iк max (5), h21э (14), package (30); structure (1) always n-p-n.
struct Part {
    const char* name;
    const char* uce;
    const char* ic;
    const char* gain;
    const char* package;
};

void writeBipolar(const fs::path& file, const std::vector<Part>& parts, bool nameBytes = false)
{
    ComponentBase base;
    base.deviceType = 1;
    base.columnMap.fill(1);
    base.table = Table(1, 31);
    for (const Part& p : parts) {
        base.table.appendRow();
        const int r = base.table.rowCount() - 1;
        base.table.setCell(r, 0, nameBytes ? std::string(p.name) : utf8ToCp1251(p.name));
        base.table.setCell(r, 1, "1");
        base.table.setCell(r, 2, p.uce);
        base.table.setCell(r, 5, p.ic);
        base.table.setCell(r, 14, p.gain);
        base.table.setCell(r, 30, p.package);
    }
    ASSERT_TRUE(writeBase(base, file).ok());
}

std::vector<std::vector<std::string>> tsvRows(const std::string& out)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        while (true) {
            const auto tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        rows.push_back(fields);
    }
    return rows;
}

// A JSON value as a strict reader takes it; parsing fails on anything a JSON reader would reject.
struct Json {
    enum Kind {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    } kind = Null;
    bool flag = false;
    double number = 0;
    std::string text;  // UTF-8
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    const Json& operator[](const std::string& key) const
    {
        for (const auto& [k, v] : members)
            if (k == key)
                return v;
        static const Json none;
        return none;
    }
};

class JsonReader {
public:
    explicit JsonReader(std::string_view s) : m_s(s) {}

    // The document, or nothing when it is not valid JSON (with `error` saying where).
    std::unique_ptr<Json> document()
    {
        auto v = std::make_unique<Json>();
        if (!value(*v))
            return nullptr;
        space();
        if (m_at != m_s.size())
            return fail("text after the document");
        return v;
    }
    std::string error;

private:
    std::nullptr_t fail(const std::string& what)
    {
        error = what + " at " + std::to_string(m_at);
        return nullptr;
    }
    void space()
    {
        while (m_at < m_s.size() &&
               (m_s[m_at] == ' ' || m_s[m_at] == '\n' || m_s[m_at] == '\r' || m_s[m_at] == '\t'))
            ++m_at;
    }
    bool literal(std::string_view word)
    {
        if (m_s.substr(m_at, word.size()) != word)
            return false;
        m_at += word.size();
        return true;
    }
    static void putUtf8(std::string& out, std::uint32_t cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    bool string(std::string& out)
    {
        if (m_at >= m_s.size() || m_s[m_at] != '"')
            return fail("string expected"), false;
        ++m_at;
        while (m_at < m_s.size()) {
            const auto c = static_cast<unsigned char>(m_s[m_at++]);
            if (c == '"')
                return valid(out);
            if (c < 0x20)
                return fail("raw control character"), false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (m_at >= m_s.size())
                break;
            const char e = m_s[m_at++];
            const std::string_view simple = "\"\\/bfnrt";
            const std::string_view meant = "\"\\/\b\f\n\r\t";
            if (const auto k = simple.find(e); k != std::string_view::npos) {
                out += meant[k];
            } else if (e == 'u' && m_at + 4 <= m_s.size()) {
                putUtf8(out, static_cast<std::uint32_t>(
                                 std::stoul(std::string(m_s.substr(m_at, 4)), nullptr, 16)));
                m_at += 4;
            } else {
                return fail("bad escape"), false;
            }
        }
        return fail("unterminated string"), false;
    }
    // UTF-8 well formed.
    bool valid(const std::string& s)
    {
        for (std::size_t i = 0; i < s.size();) {
            const auto b = static_cast<unsigned char>(s[i]);
            const std::size_t n = b < 0x80         ? 1
                                  : (b >> 5) == 6  ? 2
                                  : (b >> 4) == 14 ? 3
                                  : (b >> 3) == 30 ? 4
                                                   : 0;
            if (n == 0 || i + n > s.size())
                return fail("invalid UTF-8"), false;
            for (std::size_t k = 1; k < n; ++k)
                if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                    return fail("invalid UTF-8"), false;
            i += n;
        }
        return true;
    }
    bool value(Json& v)
    {
        space();
        if (m_at >= m_s.size())
            return fail("value expected"), false;
        const char c = m_s[m_at];
        if (c == '{') {
            v.kind = Json::Object;
            ++m_at;
            space();
            if (m_at < m_s.size() && m_s[m_at] == '}')
                return ++m_at, true;
            for (;;) {
                space();
                std::string key;
                if (!string(key))
                    return false;
                space();
                if (m_at >= m_s.size() || m_s[m_at++] != ':')
                    return fail("colon expected"), false;
                Json member;
                if (!value(member))
                    return false;
                v.members.emplace_back(key, std::move(member));
                space();
                if (m_at < m_s.size() && m_s[m_at] == ',') {
                    ++m_at;
                    continue;
                }
                if (m_at < m_s.size() && m_s[m_at] == '}')
                    return ++m_at, true;
                return fail("} expected"), false;
            }
        }
        if (c == '[') {
            v.kind = Json::Array;
            ++m_at;
            space();
            if (m_at < m_s.size() && m_s[m_at] == ']')
                return ++m_at, true;
            for (;;) {
                Json item;
                if (!value(item))
                    return false;
                v.items.push_back(std::move(item));
                space();
                if (m_at < m_s.size() && m_s[m_at] == ',') {
                    ++m_at;
                    continue;
                }
                if (m_at < m_s.size() && m_s[m_at] == ']')
                    return ++m_at, true;
                return fail("] expected"), false;
            }
        }
        if (c == '"') {
            v.kind = Json::String;
            return string(v.text);
        }
        if (literal("null"))
            return true;
        if (literal("true") || literal("false")) {
            v.kind = Json::Bool;
            v.flag = m_s[m_at - 1] == 'e' && m_s[m_at - 2] == 'u';
            return true;
        }
        // -? digits [. digits] [e [+-] digits]
        const std::size_t start = m_at;
        if (m_s[m_at] == '-')
            ++m_at;
        const auto digits = [&] {
            const std::size_t from = m_at;
            while (m_at < m_s.size() && m_s[m_at] >= '0' && m_s[m_at] <= '9')
                ++m_at;
            return m_at > from;
        };
        if (!digits())
            return fail("value expected"), false;
        if (m_at < m_s.size() && m_s[m_at] == '.' && (++m_at, !digits()))
            return fail("digits expected"), false;
        if (m_at < m_s.size() && (m_s[m_at] == 'e' || m_s[m_at] == 'E')) {
            ++m_at;
            if (m_at < m_s.size() && (m_s[m_at] == '+' || m_s[m_at] == '-'))
                ++m_at;
            if (!digits())
                return fail("exponent expected"), false;
        }
        v.kind = Json::Number;
        v.number = std::stod(std::string(m_s.substr(start, m_at - start)));
        return true;
    }

    std::string_view m_s;
    std::size_t m_at = 0;
};

class SimilarCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir / "lib");
        m_base = (m_dir / "lib" / "open.QDB").string();
        writeBipolar(m_base, {
                                 {"КТ315Б", "20", "100", "50-350", "7"},
                                 {"КТ315Г", "35", "100", "50-350", "7"},
                                 {"КТ3102А", ">50", "100", "100-250", "7"},
                                 {"СЛАБЫЙ", "15", "100", "50-350", "7"},
                                 {"ДРУГОЙ", "40", "100", "50-350", "29"},
                                 {"ТОЖЕ", "<60", "100", "50-350", "7"},
                             });
        writeBipolar(m_dir / "lib" / "other.qdb", {{"ИЗ ДРУГОЙ", "25", "100", "50-350", "7"}});
    }
    QdbRun similar(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"similar", m_base});
        // Only the rules these parts have values for.
        for (const char* r : {"1=gate", "2=ge", "5=ge", "14=band:30:200", "30=eq"})
            args.insert(args.end(), {"--rule", r});
        for (int c : {3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22, 25, 26, 29})
            args.insert(args.end(), {"--rule", std::to_string(c) + "=off"});
        return runQdb(args, m_dir);
    }

    ScratchDir m_scratch;
    const fs::path m_dir = m_scratch.path();
    std::string m_base;
};

TEST_F(SimilarCli, RanksSubstitutesWithEachParametersVerdict)
{
    // Latin K and T in the name; "КТ315" alone would be ambiguous, the whole name is not.
    const QdbRun run = similar({"--like", "kt315Б", "--near", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto rows = tsvRows(run.out);
    ASSERT_EQ(rows.size(), 6u) << run.out;  // header, 5 candidates, never the reference
    ASSERT_EQ(rows[0].size(), 10u);
    EXPECT_EQ(rows[0][5], "Структура (обязательно равно)");
    EXPECT_EQ(rows[0][6], "Uкэ max, В (не меньше)");
    EXPECT_EQ(rows[0][8], "h21э (в пределах -30..+200 %)");
    std::vector<std::string> names;
    for (std::size_t k = 1; k < rows.size(); ++k)
        names.push_back(rows[k][1]);
    // Near misses by how far they miss: another package before a quarter less voltage.
    EXPECT_EQ(names, (std::vector<std::string>{"КТ315Г", "КТ3102А", "ТОЖЕ", "ДРУГОЙ", "СЛАБЫЙ"}));
    EXPECT_EQ(rows[1][3], "прямая замена");
    EXPECT_EQ(rows[2][6], "+ >50");
    EXPECT_EQ(rows[3][3], "замена, не известно: Uкэ");
    EXPECT_EQ(rows[3][6], "? <60");
    EXPECT_EQ(rows[4][3], "близкая: корпус");
    EXPECT_EQ(rows[4][9], "- 29");
    EXPECT_EQ(rows[5][3], "близкая: Uкэ −25 %");
    EXPECT_EQ(rows[5][6], "- 15");
    EXPECT_EQ(rows[1][2], m_base);
    EXPECT_NE(run.err.find("Подходят: 3, почти подходят: 2"), std::string::npos) << run.err;

    // Unknown counted as failing: the one that cannot be told becomes a near miss.
    const QdbRun strict = similar({"--like", "kt315Б", "--near", "1", "--strict"});
    ASSERT_EQ(strict.exitCode, 0) << strict.err;
    const auto strictRows = tsvRows(strict.out);
    ASSERT_EQ(strictRows.size(), 6u) << strict.out;
    EXPECT_EQ(strictRows[3][1], "ДРУГОЙ");
    EXPECT_EQ(strictRows[4][1], "ТОЖЕ");
    EXPECT_EQ(strictRows[4][3], "близкая: Uкэ не известно");
    EXPECT_NE(strict.err.find("Подходят: 2, почти подходят: 3"), std::string::npos) << strict.err;
}

TEST_F(SimilarCli, LibraryTopAndJson)
{
    const QdbRun run = similar({"--like", "КТ315Б", "--library", (m_dir / "lib").string(), "--top", "2",
                                "--near", "0", "--format", "json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    JsonReader reader(run.out);
    const auto doc = reader.document();
    ASSERT_TRUE(doc) << reader.error << "\n" << run.out;
    const Json& d = *doc;
    EXPECT_EQ(d["reference"]["name"].text, "КТ315Б");
    EXPECT_EQ(d["full"].number, 4);
    EXPECT_EQ(d["near"].number, 0);
    ASSERT_EQ(d["rules"].items.size(), 5u);
    EXPECT_EQ(d["rules"].items[0]["column"].number, 1);
    EXPECT_EQ(d["rules"].items[0]["rule"].text, "gate");
    EXPECT_TRUE(d["rules"].items[0]["gate"].flag);
    const Json& matches = d["matches"];
    ASSERT_EQ(matches.items.size(), 2u);
    // The other base's part is the closest; the open base is read once.
    EXPECT_EQ(matches.items[0]["name"].text, "ИЗ ДРУГОЙ");
    EXPECT_EQ(matches.items[0]["base"].text, (m_dir / "lib" / "other.qdb").string());
    EXPECT_EQ(matches.items[1]["name"].text, "КТ315Г");
    EXPECT_EQ(matches.items[1]["class"].text, "direct");
    EXPECT_EQ(matches.items[1]["verdict"].text, "прямая замена");
    EXPECT_TRUE(matches.items[1]["same_package"].flag);
    EXPECT_EQ(matches.items[1]["fails"].number, 0);
    EXPECT_EQ(matches.items[1]["unknown"].number, 0);
    ASSERT_EQ(matches.items[1]["params"].items.size(), 5u);
    EXPECT_EQ(matches.items[1]["params"].items[1]["column"].number, 2);
    EXPECT_EQ(matches.items[1]["params"].items[1]["text"].text, "35");
    EXPECT_EQ(matches.items[1]["params"].items[1]["verdict"].text, "pass");
    EXPECT_EQ(matches.items[1]["params"].items[1]["kind"].text, "pass");
}

// A guarantee weaker than the reference's is a failure for every reader of the output; its own
// kind tells it apart.
TEST_F(SimilarCli, WeakGuaranteeIsAFailureOfItsOwnKind)
{
    writeBipolar(m_base, {{"REF", ">900", "100", "50-350", "7"}, {"WEAK", ">100", "100", "50-350", "7"}});
    const QdbRun run = similar({"--like", "ref", "--format", "json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    JsonReader reader(run.out);
    const auto doc = reader.document();
    ASSERT_TRUE(doc) << reader.error;
    ASSERT_EQ((*doc)["matches"].items.size(), 1u);
    const Json& weak = (*doc)["matches"].items[0];
    EXPECT_EQ(weak["fails"].number, 1);
    EXPECT_EQ(weak["not_guaranteed"].number, 1);
    EXPECT_EQ(weak["verdict"].text, "близкая: Uкэ не гарантировано");
    const Json& uce = weak["params"].items[1];
    EXPECT_EQ(uce["column"].number, 2);
    EXPECT_EQ(uce["verdict"].text, "fail");
    EXPECT_EQ(uce["kind"].text, "not_guaranteed");
    const QdbRun tsv = similar({"--like", "ref"});
    EXPECT_EQ(tsvRows(tsv.out)[1][6], "! >100");
}

// Names with line ends, tabs, quotes and control characters, a file name that is not UTF-8, a
// range from zero and a reference near the top of the doubles: the JSON stays valid and says
// them as they are, the TSV keeps one row per match.
TEST_F(SimilarCli, OddNamesAndValuesKeepTheOutputValid)
{
    const fs::path folder = m_dir / "odd";
    fs::create_directories(folder);
    const std::string fileName = "\xcf\xf0\xe8\xec\xe5\xf0.QDB";  // «Пример» in Windows-1251
    const std::string openFile = (folder / "open.QDB").string();
    const std::vector<Part> parts = {
        {"REF", "1E300", "100", "50-350", "7"},
        {"LINE\nBREAK", "2E300", "100", "0-300", "7"},
        {"TAB\tQUOTE\"\\", "2E300", "100", "50-350", "7"},
        {"CTRL\x01\x1f\x7f", "3E300", "100", "100-200", "7"},
    };
    writeBipolar(openFile, parts, true);
    writeBipolar(folder / fileName, {{"OTHER\rNAME", "2E300", "100", "50-350", "7"}}, true);
    const auto args = [&](const char* format) {
        std::vector<std::string> a = {"similar", openFile, "--like", "ref", "--library", folder.string(),
                                      "--near",  "2",      "--top",  "0",   "--format",  format};
        for (const char* r : {"1=gate", "2=ge", "5=ge", "14=band:30:200", "30=eq"})
            a.insert(a.end(), {"--rule", r});
        for (int c : {3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22, 25, 26, 29})
            a.insert(a.end(), {"--rule", std::to_string(c) + "=off"});
        return a;
    };
    const QdbRun json = runQdb(args("json"), m_dir);
    ASSERT_EQ(json.exitCode, 0) << json.err;
    JsonReader reader(json.out);
    const auto doc = reader.document();
    ASSERT_TRUE(doc) << reader.error << "\n" << json.out;
    std::map<std::string, const Json*> byName;
    for (const Json& m : (*doc)["matches"].items) {
        byName[m["name"].text] = &m;
        EXPECT_TRUE(m["distance"].kind == Json::Number || m["distance"].kind == Json::Null);
    }
    ASSERT_EQ(byName.size(), 4u) << json.out;
    for (const char* name : {"LINE\nBREAK", "TAB\tQUOTE\"\\", "CTRL\x01\x1f\x7f", "OTHER\rNAME"})
        EXPECT_TRUE(byName.count(name)) << name;
    EXPECT_EQ(byName["LINE\nBREAK"]->operator[]("distance").kind, Json::Number);  // "0-300"
    EXPECT_EQ(byName["OTHER\rNAME"]->operator[]("base").text, (folder / "Пример.QDB").string());

    const QdbRun tsv = runQdb(args("tsv"), m_dir);
    ASSERT_EQ(tsv.exitCode, 0) << tsv.err;
    const auto rows = tsvRows(tsv.out);
    ASSERT_EQ(rows.size(), 5u) << tsv.out;
    for (const auto& row : rows)
        EXPECT_EQ(row.size(), rows[0].size());
}

TEST_F(SimilarCli, NameThatCouldMeanTwoPartsIsNotChosenSilently)
{
    writeBipolar(m_base, {{"КТ3102Б", "50", "100", "200-500", "7"},
                          {"КТ3102В", "30", "100", "200-500", "7"},
                          {"КТ315Г", "35", "100", "50-350", "7"}});
    // b is Б by transliteration and В by its look; both parts exist.
    const QdbRun both = similar({"--like", "kt3102b"});
    EXPECT_EQ(both.exitCode, 1);
    EXPECT_TRUE(both.out.empty());
    EXPECT_NE(both.err.find("несколько компонентов: КТ3102Б, КТ3102В"), std::string::npos) << both.err;
    for (const char* typed : {"kt 3102 б", "КТ-3102Б"}) {
        const QdbRun one = similar({"--like", typed});
        EXPECT_EQ(one.exitCode, 0) << typed << ": " << one.err;
        EXPECT_NE(one.err.find("Образец: КТ3102Б"), std::string::npos) << one.err;
    }
}

// The sample diodes with the shipped rules: the same diode in another package is a substitute,
// and substitutes the data confirm come before rectifiers the data cannot judge.
TEST_F(SimilarCli, SampleSignalDiodeFindsItsTwinsFirst)
{
    const fs::path diodes = fs::path(VELTRIS_BIN_DIR) / "samples" / "diodes.QDB";
    const QdbRun run =
        runQdb({"similar", diodes.string(), "--like", "1n4148", "--top", "0", "--format", "json"}, m_dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    JsonReader reader(run.out);
    const auto doc = reader.document();
    ASSERT_TRUE(doc) << reader.error;
    const std::vector<Json>& matches = (*doc)["matches"].items;
    ASSERT_GE(matches.size(), 2u);
    EXPECT_EQ(matches[0]["name"].text, "LL4148");
    EXPECT_EQ(matches[0]["verdict"].text, "замена");
    EXPECT_FALSE(matches[0]["same_package"].flag);
    EXPECT_EQ(matches[1]["name"].text, "1N4148W");
    // Among the full matches, fewer unknowns always come first.
    for (std::size_t k = 1; k < matches.size(); ++k) {
        if (matches[k]["fails"].number == 0) {
            EXPECT_LE(matches[k - 1]["unknown"].number, matches[k]["unknown"].number) << k;
        }
    }
}

TEST_F(SimilarCli, UserRulesFromTheSettingsFile)
{
    const fs::path settings = m_dir / "veltris.ini";
    std::ofstream(settings) << "[Substitute_1]\r\nCol_30=off\r\n";
    const QdbRun run = runQdb(
        {"similar", m_base, "--like", "КТ315Б", "--settings", settings.string(), "--near", "0", "--top", "0"},
        m_dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("ДРУГОЙ"), std::string::npos);  // its package no longer counts
}

TEST_F(SimilarCli, ErrorsAreRussianAndExitOne)
{
    const fs::path noRules = m_dir / "norules";
    fs::create_directories(noRules);
    fs::copy_file(fs::path(VELTRIS_BIN_DIR) / "bipolar.ini", noRules / "bipolar.ini");
    const fs::path damaged = m_dir / "damaged";
    fs::create_directories(damaged);
    fs::copy_file(fs::path(VELTRIS_BIN_DIR) / "bipolar.ini", damaged / "bipolar.ini");
    std::ofstream(damaged / "substitute.ini") << "[Type_1]\r\nCol_1=sometimes\r\n";
    const std::map<std::string, std::vector<std::string>> cases = {
        {"не найден в базе", {"similar", m_base, "--like", "КТ999"}},
        {"несколько компонентов: КТ315Б, КТ315Г", {"similar", m_base, "--like", "кт315"}},
        {"правило «gt» не распознано", {"similar", m_base, "--like", "КТ315Б", "--rule", "2=gt"}},
        {"столбцом от 1 до 30", {"similar", m_base, "--like", "КТ315Б", "--rule", "0=ge"}},
        {"нужна запись", {"similar", m_base, "--like", "КТ315Б", "--rule", "ge"}},
        {"допустимы tsv и json", {"similar", m_base, "--like", "КТ315Б", "--format", "csv"}},
        {"--top: «-1» вне пределов", {"similar", m_base, "--like", "КТ315Б", "--top", "-1"}},
        {"Не найден файл правил замены",
         {"similar", m_base, "--like", "КТ315Б", "--catalogue", noRules.string()}},
        {"повреждён", {"similar", m_base, "--like", "КТ315Б", "--catalogue", damaged.string()}},
        {"нет ни одного применимого правила",
         {"similar", m_base, "--like", "КТ315Б", "--rule", "1=off", "--rule", "2=off", "--rule", "5=off",
          "--rule", "14=off", "--rule", "30=off"}},
        {"none.QDB", {"similar", (m_dir / "none.QDB").string(), "--like", "x"}},
    };
    for (const auto& [expected, args] : cases) {
        const QdbRun run = runQdb(args, m_dir);
        EXPECT_EQ(run.exitCode, 1) << expected;
        EXPECT_TRUE(run.out.empty()) << expected << ": " << run.out;
        EXPECT_NE(run.err.find(expected), std::string::npos) << expected << ": " << run.err;
    }

    // A library folder that does not exist is named before anything is searched.
    const QdbRun run = similar({"--like", "КТ315Б", "--library", (m_dir / "missing").string(), "--library",
                                (m_dir / "lib").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("qdb: --library: папка «" + (m_dir / "missing").string() + "» не найдена\n", 0),
              0u)
        << run.err;
    EXPECT_EQ(run.out, "");
}

}  // namespace

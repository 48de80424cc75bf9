// mksamples SRC.txt OUT.QDB
// Builds a sample component base from its readable text source (UTF-8; the format is described
// at the top of every file in data/samples). Every cell must be written in the form the program
// shows after loading, so the source reads exactly like the table; anything else is an error
// naming the line, and nothing is written.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/cp1251.h"
#include "base/devicetype.h"
#include "base/fileio.h"
#include "base/valuetext.h"

namespace fs = std::filesystem;
using namespace veltris;

namespace {

constexpr int kMaxName = 15;
constexpr int kRangeColumn = 14;  // bipolar transistors: h21e as a range
constexpr std::string_view kColourChars = "-/BGIJORY";

struct SourceError {
    std::string message;  // UTF-8
};

[[noreturn]] void fail(int line, const std::string& message)
{
    throw SourceError{line > 0 ? "строка " + std::to_string(line) + ": " + message : message};
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string> split(std::string_view s, char sep)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t p = s.find(sep, start);
        out.emplace_back(s.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start));
        if (p == std::string_view::npos)
            return out;
        start = p + 1;
    }
}

std::optional<int> parseInt(std::string_view s)
{
    s = trim(s);
    if (s.empty())
        return std::nullopt;
    int v = 0;
    bool neg = false;
    size_t i = 0;
    if (s[0] == '-') {
        neg = true;
        i = 1;
    }
    if (i == s.size())
        return std::nullopt;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9' || v > 100000)
            return std::nullopt;
        v = v * 10 + (s[i] - '0');
    }
    return neg ? -v : v;
}

std::string toCp1251(int line, std::string_view utf8, std::string_view what)
{
    bool lossy = false;
    std::string out = utf8ToCp1251(utf8, &lossy);
    if (lossy)
        fail(line, std::string(what) + " «" + std::string(utf8) +
                       "» содержит символы, которых нет в кодировке Windows-1251");
    return out;
}

// The text a cell shows after the base is written and read back.
std::string shownText(int line, int code, int column, const std::string& cell)
{
    if (code == 7 && column == 1) {
        if (cell.empty() || cell.size() > 8)
            fail(line, "код цвета «" + cell + "» должен содержать от 1 до 8 символов");
        for (char ch : cell)
            if (kColourChars.find(ch) == std::string_view::npos)
                fail(line, "код цвета «" + cell + "»: допустимы только буквы R G Y O B I J и знаки - /");
        return cell.size() < 8 ? cell + " " : cell;
    }
    if (code == 1 && column == kRangeColumn) {
        auto range = parseRange(numericFilter(cell));
        if (!range)
            fail(line, "столбец " + std::to_string(column) + ": " + range.error().message);
        return rangeValueText(flagsOfText(cell), range->a, range->b);
    }
    auto value = cellToFlaggedValue(cell);
    if (!value)
        fail(line, "столбец " + std::to_string(column) + ": " + value.error().message);
    return flaggedValueText(value->flags, value->value);
}

std::vector<int> parseIntList(int line, std::string_view list, std::string_view key)
{
    std::vector<int> out;
    if (trim(list).empty())
        return out;
    for (const std::string& item : split(list, ',')) {
        const auto v = parseInt(item);
        if (!v)
            fail(line, std::string(key) + ": «" + std::string(trim(item)) + "» — не целое число");
        out.push_back(*v);
    }
    return out;
}

struct Source {
    int code = 0;
    std::string description;  // Windows-1251
    std::optional<std::vector<int>> map;
    std::vector<int> view;
    std::vector<std::vector<std::string>> rows;  // Windows-1251 cells, column 0..C
    std::vector<int> rowLines;
};

Source parseSource(const std::string& text, const fs::path& drawingsRoot)
{
    Source src;
    bool haveDescription = false, haveView = false;
    const DeviceType* type = nullptr;
    std::istringstream in(text);
    std::string raw;
    int line = 0;
    while (std::getline(in, raw)) {
        ++line;
        std::string_view l(raw);
        if (line == 1 && l.substr(0, 3) == "\xEF\xBB\xBF")
            l.remove_prefix(3);
        if (!l.empty() && l.back() == '\r')
            l.remove_suffix(1);
        if (trim(l).empty() || trim(l).front() == '#')
            continue;

        if (l.find('\t') == std::string_view::npos) {
            const size_t eq = l.find('=');
            if (eq == std::string_view::npos)
                fail(line, "ожидалась строка вида ключ=значение или запись с полями через табуляцию");
            const std::string key(trim(l.substr(0, eq)));
            const std::string_view value = trim(l.substr(eq + 1));
            if (!src.rows.empty())
                fail(line, "строка «" + key + "=» должна стоять до первой записи");
            if (key == "type") {
                if (type)
                    fail(line, "тип базы задан дважды");
                const auto code = parseInt(value);
                type = code ? findDeviceType(*code) : nullptr;
                if (!type)
                    fail(line, "неизвестный код типа прибора «" + std::string(value) +
                                   "» (допустимы 1, 3, 4, 5, 6, 7)");
                src.code = type->code;
            } else if (key == "description") {
                if (haveDescription)
                    fail(line, "описание базы задано дважды");
                src.description = toCp1251(line, value, "описание");
                if (src.description.size() > static_cast<size_t>(kMaxDescription))
                    fail(line, "описание базы длиннее " + std::to_string(kMaxDescription) + " символов");
                haveDescription = true;
            } else if (key == "map") {
                if (src.map)
                    fail(line, "строка map= задана дважды");
                auto entries = parseIntList(line, value, "map");
                if (entries.size() != static_cast<size_t>(kMaxParamColumns))
                    fail(line, "map: нужно ровно 30 чисел, задано " + std::to_string(entries.size()));
                for (int e : entries)
                    if (e < 0 || e > 15)
                        fail(line, "map: номер названия " + std::to_string(e) + " вне 0..15");
                src.map = std::move(entries);
            } else if (key == "view") {
                if (haveView)
                    fail(line, "строка view= задана дважды");
                if (!type)
                    fail(line, "строка view= должна стоять после type=");
                src.view = parseIntList(line, value, "view");
                if (src.view.size() > static_cast<size_t>(kMaxParamColumns))
                    fail(line, "view: больше 30 столбцов");
                for (int c : src.view)
                    if (c < 1 || c > type->columnCount)
                        fail(line, "view: столбца " + std::to_string(c) + " нет у этого типа прибора");
                haveView = true;
            } else {
                fail(line, "неизвестный ключ «" + key + "»");
            }
            continue;
        }

        if (!type)
            fail(line, "запись до строки type=");
        const int c = type->columnCount;
        std::vector<std::string> fields = split(l, '\t');
        if (fields.size() != static_cast<size_t>(c + 1))
            fail(line, "полей " + std::to_string(fields.size()) + ", а нужно " + std::to_string(c + 1) +
                           ": имя, параметры 1.." + std::to_string(c - 1) + " и номер чертежа");
        std::vector<std::string> row(static_cast<size_t>(c + 1));
        const std::string name = toCp1251(line, trim(fields[0]), "имя");
        if (name.empty() || name.size() > static_cast<size_t>(kMaxName))
            fail(line, "имя прибора должно содержать от 1 до 15 символов");
        if (cp1251ToUpper(name) != name)
            fail(line, "имя прибора «" + std::string(trim(fields[0])) +
                           "» должно быть в верхнем регистре, как его записывает программа");
        row[0] = name;
        for (int k = 1; k < c; ++k) {
            std::string cell = toCp1251(line, trim(fields[static_cast<size_t>(k)]), "значение");
            if (cell.empty())
                cell = "0";
            const std::string shown = shownText(line, src.code, k, cell);
            const std::string expected = (src.code == 7 && k == 1 && cell.size() < 8) ? cell + " " : cell;
            if (shown != expected)
                fail(line, "столбец " + std::to_string(k) + ": «" + cp1251ToUtf8(cell) +
                               "» программа покажет как «" + cp1251ToUtf8(shown) + "»; запишите так");
            // The range parser splits "1E-5" at its minus, so such a cell stops the parametric
            // selection; sample data must not carry that trap.
            if (shown.find("E-") != std::string::npos)
                fail(line, "столбец " + std::to_string(k) + ": «" + cp1251ToUtf8(cell) +
                               "» — меньше 0,0001; выберите другую единицу измерения столбца");
            row[static_cast<size_t>(k)] = shown;
        }
        const std::string_view drawingField = trim(fields[static_cast<size_t>(c)]);
        int drawing = 0;
        if (!drawingField.empty()) {
            const auto d = parseInt(drawingField);
            if (!d || *d < -32768 || *d > 32767)
                fail(line,
                     "номер чертежа «" + std::string(drawingField) + "» — не целое число -32768..32767");
            drawing = *d;
        }
        if (drawing != 0) {
            const fs::path folder = drawingsRoot / type->drawingDefault;
            if (fs::is_directory(folder) && !fs::exists(folder / (std::to_string(drawing) + ".BMP")))
                fail(line, "нет чертежа " + (folder / (std::to_string(drawing) + ".BMP")).string());
        }
        row[static_cast<size_t>(c)] = std::to_string(drawing);
        src.rows.push_back(std::move(row));
        src.rowLines.push_back(line);
    }
    if (!type)
        fail(0, "нет строки type=");
    if (!haveDescription)
        fail(0, "нет строки description=");
    if (src.rows.empty())
        fail(0, "в базе нет ни одной записи");
    return src;
}

ComponentBase buildBase(const Source& src)
{
    const int c = parameterColumnCount(src.code);
    ComponentBase base;
    base.header = defaultBaseHeader();
    base.setDescription(src.description);
    base.deviceType = static_cast<std::uint16_t>(src.code);
    for (int k = 1; k <= kMaxParamColumns; ++k)
        base.columnMap[static_cast<size_t>(k - 1)] =
            src.map ? static_cast<std::uint8_t>((*src.map)[static_cast<size_t>(k - 1)]) : (k <= c ? 1 : 0);
    base.viewMask.fill(0);
    for (size_t j = 0; j < src.view.size(); ++j)
        base.viewMask[j] = static_cast<std::uint8_t>(src.view[j]);
    base.secondColumnCount = src.view.empty() ? 2 : static_cast<std::int32_t>(1 + src.view.size());
    base.table.resize(static_cast<int>(src.rows.size()) + 1, c + 1);
    for (size_t r = 0; r < src.rows.size(); ++r)
        for (int k = 0; k <= c; ++k)
            base.table.setCell(static_cast<int>(r) + 1, k, src.rows[r][static_cast<size_t>(k)]);
    return base;
}

// Reads the written file back and compares every record cell with the source.
void verify(const fs::path& out, const Source& src)
{
    auto back = readBase(out, Catalogue{});
    if (!back)
        fail(0, "записанный файл не читается: " + back.error().message);
    const Table& t = back->table;
    if (back->deviceType != src.code || t.rowCount() != static_cast<int>(src.rows.size()) + 1)
        fail(0, "записанный файл не совпадает с исходным текстом");
    for (size_t r = 0; r < src.rows.size(); ++r)
        for (size_t k = 0; k < src.rows[r].size(); ++k)
            if (t.cell(static_cast<int>(r) + 1, static_cast<int>(k)) != src.rows[r][k])
                fail(src.rowLines[r], "столбец " + std::to_string(k) + ": после записи читается «" +
                                          cp1251ToUtf8(t.cell(static_cast<int>(r) + 1, static_cast<int>(k))) +
                                          "» вместо «" + cp1251ToUtf8(src.rows[r][k]) + "»");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "Использование: mksamples ИСХОДНЫЙ.txt БАЗА.QDB\n";
        return 2;
    }
    const fs::path srcPath = argv[1];
    const fs::path outPath = argv[2];
    bool written = false;
    try {
        auto bytes = readFileBytes(srcPath);
        if (!bytes)
            throw SourceError{bytes.error().message};
        // Drawings live in data/<folder>, beside data/samples.
        const fs::path drawingsRoot = fs::absolute(srcPath).parent_path().parent_path();
        const Source src = parseSource(*bytes, drawingsRoot);
        const ComponentBase base = buildBase(src);
        std::error_code ec;
        if (outPath.has_parent_path())
            fs::create_directories(outPath.parent_path(), ec);
        const Status status = writeBase(base, outPath);
        if (!status)
            throw SourceError{status.error().message + ": " + outPath.string()};
        written = true;
        verify(outPath, src);
    } catch (const SourceError& e) {
        std::cerr << "mksamples: " << srcPath.string() << ": " << e.message << '\n';
        // A base that did not read back must not look up to date to the build.
        if (written) {
            std::error_code ec;
            fs::remove(outPath, ec);
        }
        return 1;
    }
    return 0;
}

#include "base/csvheader.h"

#include <algorithm>

#include "base/catalogue.h"
#include "base/cp1251.h"

namespace veltris {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\xA0';
}

struct Candidate {
    int column = 0;
    int name = 0;
};

// The names of one type's columns, as written and as keys.
struct TypeNames {
    int code = 0;
    int columns = 0;
    std::vector<std::vector<std::string>> raw;   // [c][m-1]
    std::vector<std::vector<std::string>> keys;  // [c][m-1]

    TypeNames(const Catalogue& catalogue, int typeCode)
        : code(typeCode), columns(catalogue.columnCount(typeCode))
    {
        raw.resize(static_cast<std::size_t>(columns) + 1);
        keys.resize(static_cast<std::size_t>(columns) + 1);
        for (int c = 1; c <= columns; ++c)
            for (int m = 1; m <= catalogue.nameCount(code, c); ++m) {
                raw[static_cast<std::size_t>(c)].push_back(catalogue.name(code, c, m));
                keys[static_cast<std::size_t>(c)].push_back(titleKey(catalogue.name(code, c, m)));
            }
    }

    // The name of column c that the title is: the same text first, then the same key. 0: none.
    int nameOf(int c, std::string_view title, std::string_view key) const
    {
        const auto& r = raw[static_cast<std::size_t>(c)];
        for (std::size_t m = 0; m < r.size(); ++m)
            if (!r[m].empty() && r[m] == title)
                return static_cast<int>(m) + 1;
        const auto& k = keys[static_cast<std::size_t>(c)];
        for (std::size_t m = 0; m < k.size(); ++m)
            if (!k[m].empty() && k[m] == key)
                return static_cast<int>(m) + 1;
        return 0;
    }

    // The first name number of column c whose name is empty: the title such a column shows.
    int emptyName(int c) const
    {
        const auto& r = raw[static_cast<std::size_t>(c)];
        for (std::size_t m = 0; m < r.size(); ++m)
            if (r[m].empty())
                return static_cast<int>(m) + 1;
        return r.size() < 15 ? static_cast<int>(r.size()) + 1 : 0;
    }
};

std::string typeCaption(int code)
{
    return std::string("«") + deviceTypeCaption(code) + "»";
}

}  // namespace

std::string titleKey(std::string_view cp1251)
{
    std::string key;
    key.reserve(cp1251.size());
    for (std::size_t i = 0; i < cp1251.size(); ++i) {
        const char c = cp1251[i];
        if (c == '-' && i + 1 < cp1251.size() && cp1251[i + 1] == '|')
            continue;  // "проводи-|мости" is one word broken over two lines
        if (c == '|' || isBlank(c))
            continue;
        key += cp1251ToUpper(c);
    }
    return key;
}

std::string oneLineTitleUtf8(std::string_view cp1251)
{
    std::string out;
    std::size_t start = 0;
    while (start <= cp1251.size()) {
        std::size_t bar = cp1251.find('|', start);
        if (bar == std::string_view::npos)
            bar = cp1251.size();
        std::string_view part = cp1251.substr(start, bar - start);
        while (!part.empty() && isBlank(part.front()))
            part.remove_prefix(1);
        while (!part.empty() && isBlank(part.back()))
            part.remove_suffix(1);
        if (!part.empty()) {
            if (!out.empty())
                out += ' ';
            out += part;
        }
        start = bar + 1;
    }
    return cp1251ToUtf8(out);
}

Result<HeaderMatch> matchHeader(std::span<const std::string> titles, const Catalogue& catalogue, int code,
                                const std::array<std::uint8_t, kMaxParamColumns>* shownMap)
{
    if (!catalogue.has(code))
        return Error{ErrorKind::Generic, "Нет каталога параметров для типа приборов " + typeCaption(code)};
    const TypeNames names(catalogue, code);
    const int columns = names.columns;
    const auto shown = [&](int c) {
        return shownMap != nullptr && c <= kMaxParamColumns ? (*shownMap)[static_cast<std::size_t>(c - 1)]
                                                            : 0;
    };

    HeaderMatch match;
    match.deviceType = code;
    match.columns.assign(titles.size(), -1);
    match.columnMap.fill(1);
    if (!titles.empty())
        match.columns[0] = 0;
    std::vector<int> taken(static_cast<std::size_t>(columns) + 1, 0);  // field that fills column c
    bool ownPlaces = true;
    std::vector<int> untitled;

    for (std::size_t f = 1; f < titles.size(); ++f) {
        const std::string& title = titles[f];
        const int field = static_cast<int>(f);
        if (title.find_first_not_of(" \t") == std::string::npos) {
            untitled.push_back(field);
            continue;
        }
        const std::string key = titleKey(title);
        // Its own place first, then the other columns in order.
        Candidate found;
        Candidate otherName;  // appending: another name of a column the base shows differently
        const auto consider = [&](int c) {
            const int m = names.nameOf(c, title, key);
            if (m == 0)
                return false;
            if (shownMap != nullptr && m != shown(c) && titleKey(catalogue.name(code, c, shown(c))) != key) {
                if (otherName.column == 0)
                    otherName = {c, m};
                return false;
            }
            found = {c, m};
            return true;
        };
        if (!(field <= columns && taken[static_cast<std::size_t>(field)] == 0 && consider(field)))
            for (int c = 1; c <= columns; ++c)
                if (taken[static_cast<std::size_t>(c)] == 0 && consider(c))
                    break;
        if (found.column == 0) {
            if (otherName.column != 0) {
                const std::string shownTitle =
                    oneLineTitleUtf8(catalogue.name(code, otherName.column, shown(otherName.column)));
                return Error{ErrorKind::Generic,
                             "Столбец «" + oneLineTitleUtf8(title) + "» в базе " +
                                 (shownTitle.empty() ? std::string("без названия")
                                                     : "называется «" + shownTitle + "»") +
                                 ": значения могут быть в других единицах. Исправьте заголовок в файле"};
            }
            // A title some column has already taken repeats it; anything else names no column.
            int repeated = 0;
            for (int c = 1; c <= columns && repeated == 0; ++c)
                if (taken[static_cast<std::size_t>(c)] != 0 && names.nameOf(c, title, key) != 0)
                    repeated = taken[static_cast<std::size_t>(c)];
            match.leftOut.push_back({field, title,
                                     repeated != 0 ? "повторяет столбец " + std::to_string(repeated)
                                                   : "нет среди параметров типа " + typeCaption(code)});
            ownPlaces = false;
            continue;
        }
        taken[static_cast<std::size_t>(found.column)] = field;
        match.columns[f] = found.column;
        match.columnMap[static_cast<std::size_t>(found.column - 1)] = static_cast<std::uint8_t>(found.name);
        ++match.matched;
        if (found.column != field)
            ownPlaces = false;
    }

    // The export writes every column, a title a column map entry names no name for as an empty
    // one: in that layout an empty title stands for the column at its place.
    ownPlaces = ownPlaces && titles.size() <= static_cast<std::size_t>(columns) + 1;
    for (const int field : untitled) {
        const bool free = field <= columns && taken[static_cast<std::size_t>(field)] == 0;
        const int m = free ? names.emptyName(field) : 0;
        bool fits = ownPlaces && free;
        if (fits && shownMap != nullptr)
            fits = catalogue.name(code, field, shown(field)).empty();
        if (!fits) {
            match.leftOut.push_back({field, std::string(), "нет заголовка"});
            continue;
        }
        taken[static_cast<std::size_t>(field)] = field;
        match.columns[static_cast<std::size_t>(field)] = field;
        match.columnMap[static_cast<std::size_t>(field - 1)] = static_cast<std::uint8_t>(m);
    }
    std::sort(match.leftOut.begin(), match.leftOut.end(),
              [](const LeftOutColumn& a, const LeftOutColumn& b) { return a.field < b.field; });
    return match;
}

int matchedTitleCount(std::span<const std::string> titles, const Catalogue& catalogue, int code)
{
    if (!catalogue.has(code))
        return 0;
    const auto match = matchHeader(titles, catalogue, code);
    return match ? match->matched : 0;
}

Result<int> detectDeviceType(std::span<const std::string> titles, const Catalogue& catalogue)
{
    int best = 0;
    std::vector<int> leaders;
    for (const DeviceType& t : supportedDeviceTypes()) {
        const int score = matchedTitleCount(titles, catalogue, t.code);
        if (score == 0 || score < best)
            continue;
        if (score > best)
            leaders.clear();
        best = score;
        leaders.push_back(t.code);
    }
    if (leaders.empty())
        return Error{ErrorKind::Generic,
                     "Заголовки столбцов не совпадают с названиями параметров ни одного типа приборов; "
                     "укажите тип прибора"};
    if (leaders.size() > 1) {
        std::vector<int> sameWidth;
        for (const int code : leaders)
            if (static_cast<std::size_t>(tableColumnCount(code)) == titles.size())
                sameWidth.push_back(code);
        if (sameWidth.size() == 1)
            return sameWidth.front();
        std::string list;
        for (const int code : leaders)
            list += (list.empty() ? "" : ", ") + std::string(deviceTypeCaption(code));
        return Error{ErrorKind::Generic, "Заголовки столбцов подходят к нескольким типам приборов (" + list +
                                             "); укажите тип прибора"};
    }
    return leaders.front();
}

}  // namespace veltris

#include "base/substitute/namelookup.h"

#include <algorithm>

#include "base/cp1251.h"

namespace veltris {

namespace {

bool skipped(char c)
{
    return c == ' ' || c == '\t' || c == '-';
}

// For each byte of the code page, in upper case: the other bytes a typed letter also matches.
struct LetterTable {
    std::array<std::string, 256> also;

    LetterTable()
    {
        const auto link = [&](char latin, const char* cyrillicUtf8) {
            const std::string c = utf8ToCp1251(cyrillicUtf8);
            also[static_cast<unsigned char>(latin)] += c;
        };
        // Look-alikes, both ways.
        const std::string latin = "ABCEHKMOPTXY";
        const std::string cyrillic = utf8ToCp1251("АВСЕНКМОРТХУ");
        for (std::size_t k = 0; k < latin.size(); ++k) {
            also[static_cast<unsigned char>(latin[k])] += cyrillic[k];
            also[static_cast<unsigned char>(cyrillic[k])] += latin[k];
        }
        // Transliteration, Latin to Cyrillic.
        link('A', "А");
        link('B', "Б");
        link('C', "Ц");
        link('D', "Д");
        link('E', "Е");
        link('F', "Ф");
        link('G', "Г");
        link('H', "Х");
        link('I', "И");
        link('J', "Й");
        link('K', "К");
        link('L', "Л");
        link('M', "М");
        link('N', "Н");
        link('O', "О");
        link('P', "П");
        link('R', "Р");
        link('S', "С");
        link('T', "Т");
        link('U', "У");
        link('V', "В");
        link('W', "В");
        link('X', "Х");
        link('Y', "Ы");
        link('Z', "З");
    }
};

const LetterTable& letters()
{
    static const LetterTable table;
    return table;
}

}  // namespace

std::string comparableName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (char c : name)
        if (!skipped(c))
            out += cp1251ToUpper(c);
    return out;
}

std::string sameNameKey(std::string_view name)
{
    static const std::array<char, 256> fold = [] {
        std::array<char, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[static_cast<std::size_t>(i)] = static_cast<char>(i);
        const std::string latin = "ABCEHKMOPTXY";
        const std::string cyrillic = utf8ToCp1251("АВСЕНКМОРТХУ");
        for (std::size_t k = 0; k < latin.size(); ++k)
            t[static_cast<unsigned char>(latin[k])] = cyrillic[k];
        return t;
    }();
    std::string key = comparableName(name);
    for (char& c : key)
        c = fold[static_cast<unsigned char>(c)];
    return key;
}

std::string nameIndexKey(std::string_view name)
{
    // Letters joined by the lookup's table (a look-alike or a transliteration, both ways) fall
    // into one class, named by its smallest byte.
    static const std::array<char, 256> classOf = [] {
        std::array<int, 256> parent{};
        for (int i = 0; i < 256; ++i)
            parent[static_cast<std::size_t>(i)] = i;
        const auto root = [&](int x) {
            while (parent[static_cast<std::size_t>(x)] != x)
                x = parent[static_cast<std::size_t>(x)];
            return x;
        };
        const LetterTable& table = letters();
        for (int b = 0; b < 256; ++b)
            for (const char c : table.also[static_cast<std::size_t>(b)]) {
                const int x = root(b);
                const int y = root(static_cast<unsigned char>(c));
                parent[static_cast<std::size_t>(std::max(x, y))] = std::min(x, y);
            }
        std::array<char, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[static_cast<std::size_t>(i)] = static_cast<char>(root(i));
        return t;
    }();
    std::string key = comparableName(name);
    for (char& c : key)
        c = classOf[static_cast<unsigned char>(c)];
    return key;
}

NamePattern::NamePattern(std::string_view typed)
{
    const LetterTable& table = letters();
    for (const char raw : comparableName(typed)) {
        ByteSet set{};
        const auto put = [&](char c) {
            const auto b = static_cast<unsigned char>(c);
            set[b >> 6] |= std::uint64_t{1} << (b & 63u);
        };
        put(raw);
        for (char c : table.also[static_cast<unsigned char>(raw)])
            put(c);
        m_accepted.push_back(set);
    }
}

NamePattern::Fit NamePattern::fit(std::string_view nameCp1251) const
{
    if (m_accepted.empty())
        return Fit::None;
    const std::string name = comparableName(nameCp1251);
    const std::size_t n = m_accepted.size();
    if (name.size() < n)
        return Fit::None;
    const auto matchesAt = [&](std::size_t at) {
        for (std::size_t k = 0; k < n; ++k) {
            const auto b = static_cast<unsigned char>(name[at + k]);
            if ((m_accepted[k][b >> 6] >> (b & 63u) & 1u) == 0)
                return false;
        }
        return true;
    };
    for (std::size_t at = 0; at + n <= name.size(); ++at)
        if (matchesAt(at))
            return name.size() == n ? Fit::Whole : Fit::Part;
    return Fit::None;
}

std::vector<int> NameLookup::all() const
{
    std::vector<int> rows = whole;
    rows.insert(rows.end(), part.begin(), part.end());
    return rows;
}

NameLookup lookUpName(std::string_view typed, int count, const std::function<std::string_view(int)>& nameOf)
{
    NameLookup found;
    const NamePattern pattern(typed);
    if (pattern.empty())
        return found;
    for (int i = 0; i < count; ++i) {
        switch (pattern.fit(nameOf(i))) {
        case NamePattern::Fit::Whole: found.whole.push_back(i); break;
        case NamePattern::Fit::Part: found.part.push_back(i); break;
        case NamePattern::Fit::None: break;
        }
    }
    return found;
}

NamePick pickByName(const NameLookup& lookup, const std::function<std::string_view(int)>& nameOf)
{
    NamePick pick;
    if (!lookup.whole.empty()) {
        const std::string first = sameNameKey(nameOf(lookup.whole.front()));
        for (int row : lookup.whole) {
            if (sameNameKey(nameOf(row)) != first) {
                pick.candidates = lookup.whole;
                return pick;
            }
        }
        pick.record = lookup.whole.front();
        return pick;
    }
    if (lookup.part.size() == 1)
        pick.record = lookup.part.front();
    else
        pick.candidates = lookup.part;
    return pick;
}

}  // namespace veltris

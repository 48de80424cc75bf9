#include "base/partnames.h"

#include <algorithm>

#include "base/cp1251.h"
#include "base/substitute/libraryfiles.h"
#include "base/substitute/namelookup.h"

namespace veltris {

namespace {

constexpr std::size_t kLongestRun = 3;
constexpr std::size_t kShortestStart = 3;

bool hasDigit(std::string_view s)
{
    return s.find_first_of("0123456789") != std::string_view::npos;
}

bool hasLetter(std::string_view cp1251)
{
    for (const char c : cp1251)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0xC0)
            return true;
    return false;
}

// The words of a text (Windows-1251), punctuation around them left out.
std::vector<std::string> wordsOf(std::string_view cp1251)
{
    static const std::string_view around = ",;:()[]{}\"'\xAB\xBB\x93\x94";  // «» “”
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < cp1251.size()) {
        while (i < cp1251.size() && (cp1251[i] == ' ' || cp1251[i] == '\t' || cp1251[i] == '\xA0'))
            ++i;
        std::size_t end = i;
        while (end < cp1251.size() && cp1251[end] != ' ' && cp1251[end] != '\t' && cp1251[end] != '\xA0')
            ++end;
        std::string_view w = cp1251.substr(i, end - i);
        while (!w.empty() && around.find(w.front()) != std::string_view::npos)
            w.remove_prefix(1);
        while (!w.empty() && around.find(w.back()) != std::string_view::npos)
            w.remove_suffix(1);
        if (!w.empty())
            words.emplace_back(w);
        i = end;
    }
    return words;
}

// Entries grouped by name: the first entry of each different name, in library order.
std::vector<std::size_t> firstOfEachName(const PartNameIndex& index, std::vector<std::size_t> entries,
                                         std::vector<std::size_t>* rest = nullptr)
{
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    std::vector<std::size_t> firsts;
    std::vector<std::string> keys;
    for (const std::size_t e : entries) {
        const std::string key = sameNameKey(index.name(e));
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
            keys.push_back(key);
            firsts.push_back(e);
        } else if (rest != nullptr) {
            rest->push_back(e);
        }
    }
    return firsts;
}

NameInText judged(const PartNameIndex& index, std::vector<std::size_t> hits, std::string words)
{
    NameInText out;
    std::vector<std::size_t> rest;
    out.entries = firstOfEachName(index, std::move(hits), &rest);
    out.words = std::move(words);
    if (out.entries.empty())
        out.status = NameStatus::NotFound;
    else if (out.entries.size() == 1) {
        out.status = NameStatus::Found;
        out.sameName = std::move(rest);
    } else {
        out.status = NameStatus::Ambiguous;
    }
    return out;
}

}  // namespace

PartNameIndex::PartNameIndex(const LibraryFiles& library, const Catalogue& catalogue)
{
    for (std::size_t f = 0; f < library.files.size(); ++f) {
        library.forEachName(f, catalogue, [&](int row, std::string_view name) {
            m_names.emplace_back(name);
            m_parts.push_back({static_cast<int>(f), row});
        });
    }
    m_keys.reserve(m_names.size());
    for (std::size_t e = 0; e < m_names.size(); ++e)
        m_keys.emplace_back(nameIndexKey(m_names[e]), static_cast<std::uint32_t>(e));
    std::sort(m_keys.begin(), m_keys.end());
}

std::vector<std::size_t> PartNameIndex::whole(std::string_view typed) const
{
    std::vector<std::size_t> out;
    const NamePattern pattern(typed);
    if (pattern.empty())
        return out;
    const std::string key = nameIndexKey(typed);
    auto it = std::lower_bound(m_keys.begin(), m_keys.end(), std::make_pair(key, std::uint32_t{0}));
    for (; it != m_keys.end() && it->first == key; ++it)
        if (pattern.fit(m_names[it->second]) == NamePattern::Fit::Whole)
            out.push_back(it->second);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::size_t> PartNameIndex::startingWith(std::string_view typed) const
{
    std::vector<std::size_t> out;
    const NamePattern pattern(typed);
    if (pattern.empty())
        return out;
    const std::string key = nameIndexKey(typed);
    auto it = std::lower_bound(m_keys.begin(), m_keys.end(), std::make_pair(key, std::uint32_t{0}));
    for (; it != m_keys.end() && it->first.compare(0, key.size(), key) == 0; ++it)
        if (it->first.size() > key.size() && pattern.fit(m_names[it->second]) == NamePattern::Fit::Part)
            out.push_back(it->second);
    std::sort(out.begin(), out.end());
    return out;
}

NameInText findPartName(const PartNameIndex& index, std::string_view textUtf8)
{
    const std::vector<std::string> words = wordsOf(utf8ToCp1251(textUtf8));
    std::vector<std::size_t> hits;
    std::string named;
    const auto join = [&](std::size_t from, std::size_t n, const char* gap) {
        std::string s;
        for (std::size_t k = from; k < from + n; ++k)
            s += (k > from ? gap : "") + words[k];
        return s;
    };
    for (std::size_t i = 0; i < words.size();) {
        std::size_t took = 0;
        for (std::size_t n = std::min(kLongestRun, words.size() - i); n >= 1; --n) {
            const std::string run = join(i, n, "");
            if (!hasDigit(run))
                continue;
            std::vector<std::size_t> found = index.whole(run);
            if (found.empty())
                continue;
            hits.insert(hits.end(), found.begin(), found.end());
            named += (named.empty() ? "" : " ") + join(i, n, " ");
            took = n;
            break;
        }
        i += took > 0 ? took : 1;
    }
    if (!hits.empty())
        return judged(index, std::move(hits), cp1251ToUtf8(named));

    for (const std::string& w : words) {
        if (w.size() < kShortestStart || !hasDigit(w) || !hasLetter(w))
            continue;
        std::vector<std::size_t> found = index.startingWith(w);
        if (found.empty())
            continue;
        hits.insert(hits.end(), found.begin(), found.end());
        named += (named.empty() ? "" : " ") + w;
    }
    return judged(index, std::move(hits), cp1251ToUtf8(named));
}

}  // namespace veltris

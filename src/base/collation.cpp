#include "base/collation.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/cp1251.h"

namespace veltris {

namespace {

// The order, one entry per first-level weight, lowest first. Characters within a string are
// equal (the two cases of a letter); a later string of the same entry is the same letter with an
// accent, ordered only when everything else is equal.
constexpr std::string_view kOrder[][3] = {
    {"\t"},       {"\n"},
    {"\v"},       {"\f"},
    {"\r"},       {" \u00A0"},
    {"_"},        {"-"},
    {"–"},        {"—"},
    {","},        {";"},
    {":"},        {"!"},
    {"?"},        {"."},
    {"·"},        {"'"},
    {"‘"},        {"’"},
    {"‚"},        {"‹"},
    {"›"},        {"\""},
    {"“"},        {"”"},
    {"„"},        {"«"},
    {"»"},        {"("},
    {")"},        {"["},
    {"]"},        {"{"},
    {"}"},        {"§"},
    {"¶"},        {"@"},
    {"*"},        {"/"},
    {"\\"},       {"&"},
    {"#"},        {"%"},
    {"‰"},        {"†"},
    {"‡"},        {"•"},
    {"`"},        {"^"},
    {"°"},        {"©"},
    {"®"},        {"+"},
    {"±"},        {"<"},
    {"="},        {">"},
    {"¬"},        {"|"},
    {"¦"},        {"~"},
    {"¤"},        {"$"},
    {"€"},        {"0"},
    {"1"},        {"2"},
    {"3"},        {"4"},
    {"5"},        {"6"},
    {"7"},        {"8"},
    {"9"},        {"Aa"},
    {"Bb"},       {"Cc"},
    {"Dd"},       {"Ee"},
    {"Ff"},       {"Gg"},
    {"Hh"},       {"Ii"},
    {"Jj"},       {"Kk"},
    {"Ll"},       {"Mm"},
    {"Nn"},       {"Oo"},
    {"Pp"},       {"Qq"},
    {"Rr"},       {"Ss"},
    {"Tt"},       {"Uu"},
    {"Vv"},       {"Ww"},
    {"Xx"},       {"Yy"},
    {"Zz"},       {"µ"},
    {"Аа"},       {"Бб"},
    {"Вв"},       {"Гг", "Ѓѓ", "Ґґ"},
    {"Дд"},       {"Ђђ"},
    {"Ее", "Ёё"}, {"Єє"},
    {"Жж"},       {"Зз"},
    {"Ѕѕ"},       {"Ии"},
    {"Іі", "Її"}, {"Йй"},
    {"Јј"},       {"Кк", "Ќќ"},
    {"Лл"},       {"Љљ"},
    {"Мм"},       {"Нн"},
    {"Њњ"},       {"Оо"},
    {"Пп"},       {"Рр"},
    {"Сс"},       {"Тт"},
    {"Ћћ"},       {"Уу", "Ўў"},
    {"Фф"},       {"Хх"},
    {"Цц"},       {"Чч"},
    {"Џџ"},       {"Шш"},
    {"Щщ"},       {"Ъъ"},
    {"Ыы"},       {"Ьь"},
    {"Ээ"},       {"Юю"},
    {"Яя"},
};

// Characters that sort as several others.
constexpr std::pair<std::string_view, std::string_view> kExpansions[] = {
    {"№", "NO"}, {"™", "TM"}, {"…", "..."}};

constexpr std::uint8_t kSeparator = 1;  // below every weight: between the two levels of a key
constexpr std::uint8_t kFirstWeight = 2;

struct Weights {
    // Up to three first-level weights per byte (0: none, the byte is ignored) and the accent
    // rank of the byte's letter (0: none).
    std::array<std::array<std::uint8_t, 3>, 256> primary{};
    std::array<std::uint8_t, 256> accent{};

    Weights()
    {
        std::uint8_t weight = kFirstWeight;
        for (const auto& entry : kOrder) {
            for (std::uint8_t level = 0; level < 3; ++level)
                for (const char c : utf8ToCp1251(entry[level])) {
                    const auto b = static_cast<unsigned char>(c);
                    primary[b][0] = weight;
                    accent[b] = level;
                }
            ++weight;
        }
        for (const auto& [from, to] : kExpansions) {
            const auto b = static_cast<unsigned char>(utf8ToCp1251(from)[0]);
            const std::string parts = utf8ToCp1251(to);
            for (std::size_t i = 0; i < parts.size(); ++i)
                primary[b][i] = primary[static_cast<unsigned char>(parts[i])][0];
        }
    }
};

const Weights& weights()
{
    static const Weights w;
    return w;
}

void appendKey(std::string_view name, std::string& key)
{
    const Weights& w = weights();
    bool accented = false;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        for (const std::uint8_t p : w.primary[b])
            if (p != 0)
                key.push_back(static_cast<char>(p));
        accented = accented || w.accent[b] != 0;
    }
    if (!accented)
        return;
    // Second level: one accent rank per first-level weight, trailing zeros left out.
    const std::size_t primaryEnd = key.size();
    key.push_back(static_cast<char>(kSeparator));
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        for (const std::uint8_t p : w.primary[b])
            if (p != 0)
                key.push_back(static_cast<char>(w.accent[b]));
    }
    while (key.size() > primaryEnd + 1 && key.back() == 0)
        key.pop_back();
}

}  // namespace

std::string collationKey(std::string_view cp1251)
{
    std::string key;
    key.reserve(cp1251.size() + 1);
    appendKey(cp1251, key);
    return key;
}

int compareCollated(std::string_view a, std::string_view b)
{
    const int c = collationKey(a).compare(collationKey(b));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::vector<std::uint32_t> collatedOrder(std::span<const std::string_view> names)
{
    // The first 16 key bytes as two big-endian words decide almost every comparison without
    // touching the keys themselves; the index breaks ties, which makes the sort stable.
    struct Item {
        std::uint64_t high;
        std::uint64_t low;
        std::uint32_t offset;
        std::uint32_t length;
        std::uint32_t index;
    };
    std::string keys;
    keys.reserve(names.size() * 12);
    std::vector<Item> items(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::size_t offset = keys.size();
        appendKey(names[i], keys);
        std::uint8_t head[16] = {};
        std::memcpy(head, keys.data() + offset, std::min<std::size_t>(keys.size() - offset, 16));
        std::uint64_t high = 0;
        std::uint64_t low = 0;
        for (int k = 0; k < 8; ++k) {
            high = high << 8 | head[k];
            low = low << 8 | head[8 + k];
        }
        items[i] = Item{high, low, static_cast<std::uint32_t>(offset),
                        static_cast<std::uint32_t>(keys.size() - offset), static_cast<std::uint32_t>(i)};
    }
    const std::string_view all = keys;
    std::sort(items.begin(), items.end(), [all](const Item& a, const Item& b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        if (a.length > 16 || b.length > 16) {
            const int c = all.substr(a.offset, a.length).compare(all.substr(b.offset, b.length));
            if (c != 0)
                return c < 0;
        }
        return a.index < b.index;
    });
    std::vector<std::uint32_t> order(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        order[i] = items[i].index;
    return order;
}

}  // namespace veltris

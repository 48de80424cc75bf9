#include "base/cp1251.h"

#include <array>
#include <cstdint>

namespace veltris {

namespace {

// Code points of bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

char32_t codePoint(unsigned char b)
{
    if (b < 0x80)
        return b;
    if (b >= 0xC0)
        return 0x0410 + (b - 0xC0);
    return kHigh[b - 0x80];
}

// -1 when the code page has no byte for cp.
int byteFor(char32_t cp)
{
    if (cp < 0x80)
        return static_cast<int>(cp);
    if (cp >= 0x0410 && cp <= 0x044F)
        return static_cast<int>(0xC0 + (cp - 0x0410));
    for (int i = 0; i < 64; ++i)
        if (kHigh[i] == cp)
            return 0x80 + i;
    return -1;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {  // every code point of the table lies below U+10000
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Upper-case byte of every byte; built once.
constexpr std::array<unsigned char, 256> makeUpperTable()
{
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<unsigned char>(i);
    for (int i = 'a'; i <= 'z'; ++i)
        t[i] = static_cast<unsigned char>(i - 0x20);
    for (int i = 0xE0; i <= 0xFF; ++i)  // а..я
        t[i] = static_cast<unsigned char>(i - 0x20);
    // The letters of 0x80..0xBF: lower-case byte, upper-case byte.
    constexpr unsigned char pairs[][2] = {
        {0x83, 0x81},  // ѓ Ѓ
        {0x90, 0x80},  // ђ Ђ
        {0x9A, 0x8A},  // љ Љ
        {0x9C, 0x8C},  // њ Њ
        {0x9D, 0x8D},  // ќ Ќ
        {0x9E, 0x8E},  // ћ Ћ
        {0x9F, 0x8F},  // џ Џ
        {0xA2, 0xA1},  // ў Ў
        {0xB3, 0xB2},  // і І
        {0xB4, 0xA5},  // ґ Ґ
        {0xB8, 0xA8},  // ё Ё
        {0xBA, 0xAA},  // є Є
        {0xBC, 0xA3},  // ј Ј
        {0xBE, 0xBD},  // ѕ Ѕ
        {0xBF, 0xAF},  // ї Ї
    };
    for (const auto& p : pairs)
        t[p[0]] = p[1];
    return t;
}

constexpr auto kUpper = makeUpperTable();

}  // namespace

std::string cp1251ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        appendUtf8(out, codePoint(static_cast<unsigned char>(c)));
    return out;
}

std::string utf8ToCp1251(std::string_view utf8, bool* lossy)
{
    std::string out;
    out.reserve(utf8.size());
    bool anyLost = false;
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        if (b0 < 0x80) {
            out += static_cast<char>(b0);
            ++i;
            continue;
        }
        const Utf8Char ch = decodeUtf8(utf8.substr(i));
        if (ch.length == 0) {
            out += '?';
            anyLost = true;
            ++i;  // resynchronise at the next byte
            continue;
        }
        const int byte = byteFor(ch.codePoint);
        if (byte < 0) {
            out += '?';
            anyLost = true;
        } else {
            out += static_cast<char>(byte);
        }
        i += ch.length;
    }
    if (lossy)
        *lossy = anyLost;
    return out;
}

char cp1251ToUpper(char c)
{
    return static_cast<char>(kUpper[static_cast<unsigned char>(c)]);
}

std::string cp1251ToUpper(std::string_view bytes)
{
    std::string out(bytes);
    for (char& c : out)
        c = cp1251ToUpper(c);
    return out;
}

}  // namespace veltris

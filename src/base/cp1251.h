#pragma once
// Windows-1251 <-> UTF-8. Every byte maps to one code point and back (0x98, undefined in the
// code page, maps to U+0098), so texts read from a file survive a round trip unchanged.
#include <cstddef>
#include <string>
#include <string_view>

namespace veltris {

// One character of UTF-8 text: its code point and the bytes it takes.
struct Utf8Char {
    char32_t codePoint = 0;
    std::size_t length = 0;  // 0: no valid sequence
};

// The UTF-8 sequence at the start of `text`, decoded strictly: no overlong forms, no
// surrogates, nothing above U+10FFFF, no sequence cut short. Length 0 when the text does not
// start with one (ASCII bytes included: a caller deals with them first).
inline Utf8Char decodeUtf8(std::string_view text)
{
    if (text.empty())
        return {};
    const auto b0 = static_cast<unsigned char>(text[0]);
    std::size_t len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return {};
    }
    if (text.size() < len)
        return {};
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[k]);
        if ((b & 0xC0) != 0x80)
            return {};
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {};
    return {cp, len};
}

std::string cp1251ToUtf8(std::string_view bytes);

// Characters the code page cannot hold become '?'; *lossy (if given) tells whether any did.
// Invalid UTF-8 sequences also become '?'.
std::string utf8ToCp1251(std::string_view utf8, bool* lossy = nullptr);

// Byte-wise upper case in Windows-1251: Latin a-z and Cyrillic а-я, ё, and the other
// lower-case letters of the code page.
char cp1251ToUpper(char c);
std::string cp1251ToUpper(std::string_view bytes);

}  // namespace veltris

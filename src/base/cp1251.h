#pragma once
// Windows-1251 <-> UTF-8. Every byte maps to one code point and back (0x98, undefined in the
// code page, maps to U+0098), so texts read from a file survive a round trip unchanged.
#include <string>
#include <string_view>

namespace veltris {

std::string cp1251ToUtf8(std::string_view bytes);

// Characters the code page cannot hold become '?'; *lossy (if given) tells whether any did.
// Invalid UTF-8 sequences also become '?'.
std::string utf8ToCp1251(std::string_view utf8, bool* lossy = nullptr);

// Byte-wise upper case in Windows-1251: Latin a-z and Cyrillic а-я, ё, and the other
// lower-case letters of the code page.
char cp1251ToUpper(char c);
std::string cp1251ToUpper(std::string_view bytes);

}  // namespace veltris

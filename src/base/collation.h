#pragma once
// The name order of lists: Windows-1251 names compared case-insensitively in the root collation
// order — spaces and punctuation, symbols, digits, Latin, Cyrillic (Ё beside Е) — the same for
// every locale. Control characters, DEL and the soft hyphen are ignored; "№", "™" and "…" sort as
// "NO", "TM" and "...". Letters that differ only by an accent (Е and Ё, Г, Ѓ and Ґ) are equal at
// first; the first accented letter decides between names whose letters are otherwise equal.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltris {

// Byte string whose byte order (std::string comparison) is the name order above. Equal keys
// mean names the order does not tell apart (e.g. "KT" and "kt").
std::string collationKey(std::string_view cp1251);

// <0, 0 or >0 as `a` sorts before, with or after `b`.
int compareCollated(std::string_view a, std::string_view b);

// Indices of `names` in name order; names the order does not tell apart keep their index order.
std::vector<std::uint32_t> collatedOrder(std::span<const std::string_view> names);

}  // namespace veltris

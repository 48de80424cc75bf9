#pragma once
// Finding a part by the name a user types: case, blanks and hyphens do not matter, and a Latin
// letter stands for the Cyrillic one it looks like and for the one it transliterates.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace veltris {

// A typed name, ready to be held against names of a base (Windows-1251 on both sides).
//   Blanks and hyphens are left out on both sides, case does not count.
//   A Latin letter matches itself, the Cyrillic letter it looks like (B: В, H: Н, P: Р, C: С,
//   A, E, K, M, O, T, X, Y) and the one it transliterates (b: Б, v: В, g: Г, d: Д, z: З, i: И,
//   j: Й, l: Л, n: Н, p: П, r: Р, s: С, u: У, f: Ф, h: Х, c: Ц, w: В, …), so "kt3102b" names
//   both КТ3102Б and КТ3102В.
//   A Cyrillic letter matches itself and the Latin letter that looks like it (a name may be
//   kept with Latin look-alikes).
class NamePattern {
public:
    explicit NamePattern(std::string_view typedCp1251);

    // Nothing to look for: the typed text holds only blanks and hyphens.
    bool empty() const { return m_accepted.empty(); }

    enum class Fit : std::uint8_t {
        None,
        Part,
        Whole
    };
    // Whether the name is the typed one (Whole) or holds it (Part).
    Fit fit(std::string_view nameCp1251) const;

private:
    using ByteSet = std::array<std::uint64_t, 4>;
    std::vector<ByteSet> m_accepted;  // per typed letter, the name bytes it matches
};

// A name as the lookup compares names: blanks and hyphens left out, upper case (Windows-1251).
std::string comparableName(std::string_view nameCp1251);

// Two names that differ only in Latin look-alikes of Cyrillic letters have the same key: they
// name the same part.
std::string sameNameKey(std::string_view nameCp1251);

// A key for looking typed names up in a sorted index: every name a typed text finds as a whole
// (NamePattern::Whole) has the typed text's key, and every name holding it at its start has a
// key starting with it. Letters that can stand for one another share one byte of the key; the
// index's hits are then checked with NamePattern.
std::string nameIndexKey(std::string_view nameCp1251);

// The records a typed name finds: those whose whole name it is, and those whose name holds it,
// each in record order.
struct NameLookup {
    std::vector<int> whole;
    std::vector<int> part;

    // whole, then part.
    std::vector<int> all() const;
};

// Looks `typedCp1251` up among `count` names; `nameOf(i)` gives name i (Windows-1251).
NameLookup lookUpName(std::string_view typedCp1251, int count,
                      const std::function<std::string_view(int)>& nameOf);

// What a typed name picks when one record is wanted: the one record it names, or the
// candidates when it could mean more than one part (never one of them chosen silently).
//   One whole-name match, or several with the same name: the first of them.
//   No whole-name match and one record holding it: that record.
//   Otherwise: no record, and `candidates` lists them (whole-name matches when there are any,
//   else the records holding it), empty when nothing matched.
struct NamePick {
    int record = -1;
    std::vector<int> candidates;
};
NamePick pickByName(const NameLookup& lookup, const std::function<std::string_view(int)>& nameOf);

}  // namespace veltris

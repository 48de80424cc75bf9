#pragma once
// A cache of the texts of stored values, for the texts the results show.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veltris::substitute {

// Texts of stored values already made. The text of an unedited value cell depends only on its
// flags and its double, and catalogue values repeat (the same ratings across a series), so each
// query column makes the text of a value once and copies it after. Direct-mapped: a slot keeps
// the last value that fell on it.
class ValueTexts {
public:
    explicit ValueTexts(std::size_t columns) : m_slots(columns * kSlots) {}

    // Appends the text of value (flags, v) of query column j to `out`; `make(text)` makes it
    // when it is not known.
    template <class Make>
    void append(std::size_t j, std::uint8_t flags, double v, std::string& out, Make make)
    {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        const std::uint64_t hash = (bits ^ (bits >> 31) ^ flags) * 0x9E3779B97F4A7C15ull;
        Slot& slot = m_slots[j * kSlots + static_cast<std::size_t>(hash >> (64 - kSlotBits))];
        if (!slot.used || slot.bits != bits || slot.flags != flags) {
            slot.text.clear();
            make(slot.text);
            slot.bits = bits;
            slot.flags = flags;
            slot.used = true;
        }
        out += slot.text;
    }

private:
    static constexpr int kSlotBits = 8;
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
    struct Slot {
        std::uint64_t bits = 0;
        std::uint8_t flags = 0;
        bool used = false;
        std::string text;
    };
    std::vector<Slot> m_slots;
};

}  // namespace veltris::substitute

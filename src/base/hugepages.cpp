#include "base/hugepages.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace veltris {

void adviseHugePages([[maybe_unused]] void* p, [[maybe_unused]] std::size_t bytes)
{
#ifdef __linux__
    constexpr std::size_t kMin = std::size_t(8) << 20;
    if (bytes < kMin)
        return;
    // The whole pages inside [p, p + bytes), found by the address and kept as offsets from p.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t b = (address + page - 1) & ~(page - 1);
    const std::uintptr_t e = (address + bytes) & ~(page - 1);
    if (e > b)
        ::madvise(static_cast<char*>(p) + (b - address), e - b, MADV_HUGEPAGE);  // advice only
#endif
}

}  // namespace veltris

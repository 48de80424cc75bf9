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
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t b = (reinterpret_cast<std::uintptr_t>(p) + page - 1) & ~(page - 1);
    const std::uintptr_t e = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(page - 1);
    if (e > b)
        ::madvise(reinterpret_cast<void*>(b), e - b, MADV_HUGEPAGE);  // advice only
#endif
}

}  // namespace veltris

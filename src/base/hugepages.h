#pragma once
// Advice for large buffers that are written once from start to end.
#include <cstddef>

namespace veltris {

// On Linux, asks for huge pages over [p, p + bytes) when it spans at least 8 MB: they spare
// most of the page faults of memory touched for the first time. Advice only; elsewhere nothing.
void adviseHugePages(void* p, std::size_t bytes);

}  // namespace veltris

#include "kestrune/support/memory.hpp"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kestrune {

void keepfreedmemory() noexcept {
#if defined(__GLIBC__)
    // Freed memory at the top of the heap stays until it exceeds this much.
    constexpr int kKeepFreed = 64 * 1024 * 1024;
    // Blocks up to this size come from the heap, so they are reused when freed;
    // a fixed value also stops the allocator from moving the bound itself.
    constexpr int kOwnMappingFrom = 32 * 1024 * 1024;
    // Each growth of the heap asks for this much more, for fewer system calls.
    constexpr int kGrowBy = 4 * 1024 * 1024;
    mallopt(M_TRIM_THRESHOLD, kKeepFreed);
    mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
    mallopt(M_TOP_PAD, kGrowBy);
#endif
}

}  // namespace kestrune

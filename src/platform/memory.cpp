#include "platform/memory.h"
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

void mapAhead(void* begin, std::size_t bytes) {
    // Small ranges fault in a few pages anyway.
    constexpr std::size_t kWorthIt = 64 * 1024;
    if (!begin || bytes < kWorthIt)
        return;
#ifdef MADV_POPULATE_WRITE
    // The whole pages inside the range: the pages at its ends may hold other
    // allocations, which mapping would not harm, but need not be asked for.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto from = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) & ~(page - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~(page - 1);
    // An older kernel refuses the advice (EINVAL): the pages then come on first touch.
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#endif
}

} // namespace platform

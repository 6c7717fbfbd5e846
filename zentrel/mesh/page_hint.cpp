#include "zentrel/mesh/page_hint.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zentrel {

void advise_huge_pages([[maybe_unused]] void* p, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t huge = std::uintptr_t{1} << 21;
    if (bytes < 4 * huge) return;
    auto begin = (reinterpret_cast<std::uintptr_t>(p) + huge - 1) & ~(huge - 1);
    auto end = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(huge - 1);
    if (end > begin) (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace zentrel

#pragma once

#include <cstddef>

namespace zentrel {

// Asks the kernel to back the whole 2 MiB pages inside [p, p + bytes) with huge pages when they
// are first touched: a fault per 2 MiB instead of per 4 KiB, which otherwise dominates the first
// write of a large array. Small buffers are left alone. A hint only; nothing changes where it is
// not supported.
void advise_huge_pages(void* p, std::size_t bytes);

}  // namespace zentrel

#pragma once

#include <cstddef>

namespace zentrel {

// Asks the kernel to back the whole 2 MiB pages inside [p, p + bytes) with huge pages when they
// are first touched. Only worth it on large, freshly allocated buffers that are written at once
// (hundreds of MiB of layers or measures): a fault per 2 MiB instead of per 4 KiB. A hint only;
// nothing changes where it is not supported.
void advise_huge_pages(void* p, std::size_t bytes);

}  // namespace zentrel

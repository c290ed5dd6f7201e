#include "platform/MemoryPolicy.h"

#include <malloc.h>

namespace platform {

void keepFreedMemory()
{
    // Blocks below 16 MiB come from the heap, and up to 32 MiB of free heap
    // stay with the process.
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
}

} // namespace platform

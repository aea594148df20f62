// The C library's heap settings for large buffers.
#include "heaptuning.h"

#include <cstdlib> // tells which C library this is

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace darni::files {

namespace {
constexpr int kMebibyte = 1024 * 1024;
// Blocks up to this size come from the heap rather than from mappings of their own (the largest the
// C library allows), so that freeing them leaves them for reuse.
constexpr int kLargestHeapBlock = 32 * kMebibyte;
// Free memory at the heap's top is handed back to the system only beyond this: room for two of
// Qt's page buffers.
constexpr int kFreeMemoryKept = 64 * kMebibyte;
} // namespace

void keepLargeBuffersForReuse()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
    mallopt(M_TRIM_THRESHOLD, kFreeMemoryKept);
#endif
}

} // namespace darni::files

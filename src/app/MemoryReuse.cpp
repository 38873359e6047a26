#include "MemoryReuse.h"

#include <mutex>

#include <malloc.h>

namespace {

std::mutex mutex;
int batches = 0;

// The allocator's own starting points (the documented defaults).
constexpr int kDefaultMapThreshold = 128 * 1024;
constexpr int kDefaultTrimThreshold = 128 * 1024;
// Free memory a heap keeps at its end before giving it back: without a
// large one, every freed frame at a heap's end would be handed back and its
// pages taken again for the next file.
constexpr int kBatchTrimThreshold = 256 * 1024 * 1024;

} // namespace

namespace MemoryReuse {

void beginBatch()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (batches++ == 0) {
        mallopt(M_MMAP_THRESHOLD, kBlockBytes);
        mallopt(M_TRIM_THRESHOLD, kBatchTrimThreshold);
    }
}

void endBatch()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (batches == 0 || --batches > 0)
        return;
    mallopt(M_MMAP_THRESHOLD, kDefaultMapThreshold);
    mallopt(M_TRIM_THRESHOLD, kDefaultTrimThreshold);
    malloc_trim(0);
}

} // namespace MemoryReuse

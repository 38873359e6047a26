#include "MemoryReuse.h"

#include <mutex>

#include <malloc.h>

namespace {

std::mutex mutex;
int batches = 0;

// Between batches. Blocks below a large page come from the heaps, where the
// next one of their size finds them; larger ones (frames, whole files) are
// mapped apart, with large pages where the system gives them, and handed
// back when freed. The heaps keep up to kSteadyTrimThreshold free at their
// ends, so a picture's successive encodes do not fault their pages in again.
constexpr int kSteadyMapThreshold = 2 * 1024 * 1024;
constexpr int kSteadyTrimThreshold = 32 * 1024 * 1024;
// Free memory a heap keeps at its end before giving it back: without a
// large one, every freed frame at a heap's end would be handed back and its
// pages taken again for the next file.
constexpr int kBatchTrimThreshold = 256 * 1024 * 1024;

void holdSteady()
{
    mallopt(M_MMAP_THRESHOLD, kSteadyMapThreshold);
    mallopt(M_TRIM_THRESHOLD, kSteadyTrimThreshold);
}

} // namespace

namespace MemoryReuse {

void fixThreshold()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (batches == 0)
        holdSteady();
}

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
    holdSteady();
    malloc_trim(0);
}

} // namespace MemoryReuse

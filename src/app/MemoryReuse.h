#pragma once

// Keeps the memory of one file for the next one during a batch.
//
// A 12-megapixel file needs tens of megabytes at a time (the decoded frame,
// libjpeg's coefficients, encoder buffers). The C allocator maps blocks that
// big from the system for each use and unmaps them when they are freed, so
// every file of a batch pays again for every page it touches: on this
// machine a page fault costs as much as the arithmetic of rotating the page
// losslessly. During a batch with more files than workers, blocks up to
// kBlockBytes come from the allocator's heaps instead and stay there when
// freed, so a worker's next file reuses pages that are already mapped
// (eight photos on two workers: turned losslessly in 0.95 s instead of
// 1.42 s, below 200 KB in 1.20 s instead of 1.66 s).
//
// One file alone is left to the allocator's usual ways, which hold the least
// memory at the peak. Thread-safe; batches may overlap (the window's tools).
namespace MemoryReuse {

constexpr int kBlockBytes = 64 * 1024 * 1024;

// A batch with more files than workers begins.
void beginBatch();
// It ends: when no batch is left, big blocks are mapped for each use again
// and the memory kept is given back to the system.
void endBatch();

} // namespace MemoryReuse

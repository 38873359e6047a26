#include <cstring>
#include <vector>

#include <malloc.h>

#include <QtTest>

#include "app/BatchRun.h"
#include "app/MemoryReuse.h"

namespace {

// Kept where the compiler cannot see it unused, so the block is really made.
void *volatile g_block = nullptr;

// Whether a block of the size of a decoded photo's working buffers is mapped
// from the system for its own use (as opposed to taken from the heaps).
bool bigBlockIsMapped()
{
    const size_t bytes = 20 * 1024 * 1024;
    const size_t before = mallinfo2().hblkhd;
    g_block = malloc(bytes);
    std::memset(g_block, 1, bytes);
    const size_t during = mallinfo2().hblkhd;
    free(g_block);
    g_block = nullptr;
    return during >= before + bytes;
}

// Whether a freed block of that size stays with the allocator for the next
// file rather than going back to the system.
bool freedBlockIsKept()
{
    const size_t bytes = 20 * 1024 * 1024;
    g_block = malloc(bytes);
    std::memset(g_block, 1, bytes);
    free(g_block);
    g_block = nullptr;
    return mallinfo2().fordblks >= bytes;
}

// Whether blocks below a large page (an encoder's buffers) come from the
// heaps and stay there, all of them together, once freed.
bool smallBlocksAreKept()
{
    const size_t bytes = 1536 * 1024;
    const int count = 8;
    const size_t mappedBefore = mallinfo2().hblkhd;
    std::vector<void *> blocks;
    for (int i = 0; i < count; ++i) {
        blocks.push_back(malloc(bytes));
        std::memset(blocks.back(), 1, bytes);
    }
    const bool fromHeaps = mallinfo2().hblkhd < mappedBefore + bytes;
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
        free(*it);
    return fromHeaps && mallinfo2().fordblks >= count * bytes;
}

} // namespace

// Big blocks stay in the allocator's heaps while a batch runs, and the
// allocator goes back to its steady thresholds when the last batch ends.
class tst_MemoryReuse : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void batchesKeepBigBlocks();
    void longRunOfTheWindowKeepsThemUntilItEnds();
};

void tst_MemoryReuse::initTestCase()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the sanitizer's allocator stands in for the C library's");
#endif
    // As the program starts: the threshold is held still, so a big block
    // freed does not raise it and the next one is mapped apart again (the
    // allocator's own would take it from the heaps).
    MemoryReuse::fixThreshold();
    QVERIFY(bigBlockIsMapped());
    QVERIFY(bigBlockIsMapped());
}

void tst_MemoryReuse::batchesKeepBigBlocks()
{
    MemoryReuse::beginBatch();
    QVERIFY(!bigBlockIsMapped());
    QVERIFY(freedBlockIsKept());
    // Overlapping batches (two tools of the window): the first to end does
    // not take the reuse from the other.
    MemoryReuse::beginBatch();
    MemoryReuse::endBatch();
    QVERIFY(!bigBlockIsMapped());
    MemoryReuse::endBatch();
    QVERIFY(bigBlockIsMapped());
    QVERIFY(!freedBlockIsKept());
    // An end without a beginning changes nothing.
    MemoryReuse::endBatch();
    MemoryReuse::beginBatch();
    QVERIFY(!bigBlockIsMapped());
    MemoryReuse::endBatch();
    QVERIFY(bigBlockIsMapped());
    // Between batches the heaps still keep what blocks below a large page
    // leave free at their ends, for the next encode of the same picture.
    QVERIFY(smallBlocksAreKept());
}

void tst_MemoryReuse::longRunOfTheWindowKeepsThemUntilItEnds()
{
    QStringList files;
    for (int i = 0; i <= QThread::idealThreadCount(); ++i)
        files.append(QStringLiteral("/photos/%1.jpg").arg(i));
    {
        BatchRun run;
        run.add(files.mid(0, QThread::idealThreadCount()));
        QVERIFY(run.start());
        QVERIFY2(bigBlockIsMapped(), "as many files as workers: nothing to reuse");
        for (int i = 0; i < run.count(); ++i)
            run.apply(BatchResult { i, BatchResult::Succeeded, QString(), QString() });
        QVERIFY(!run.isRunning());
    }
    {
        BatchRun run;
        run.add(files);
        QVERIFY(run.start());
        QVERIFY(!bigBlockIsMapped());
        for (int i = 0; i < run.count(); ++i)
            run.apply(BatchResult { i, BatchResult::Succeeded, QString(), QString() });
        QVERIFY(!run.isRunning());
        QVERIFY(bigBlockIsMapped());
    }
    {
        // A list closed during its run ends the reuse too.
        BatchRun run;
        run.add(files);
        QVERIFY(run.start());
        QVERIFY(!bigBlockIsMapped());
    }
    QVERIFY(bigBlockIsMapped());
}

QTEST_GUILESS_MAIN(tst_MemoryReuse)
#include "tst_MemoryReuse.moc"

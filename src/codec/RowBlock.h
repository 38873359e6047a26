#pragma once

#include <QImage>
#include <QVector>

#include "codec/RowSource.h"

// A block of RGB32 rows for the writers that take a picture from a
// RowSource: fill() has the source write count rows into the block and
// gives their addresses. One block serves the whole picture, grown to the
// largest count asked for.
class RowBlock
{
public:
    RowBlock(const RowSource &source, int width);

    // The rows first to first + count - 1 as the source gives them; null
    // when the source gave up or the block could not be allocated (then
    // outOfMemory() is true).
    uchar *const *fill(int first, int count);
    bool outOfMemory() const { return m_outOfMemory; }

private:
    const RowSource &m_source;
    int m_width;
    QImage m_block;
    QVector<uchar *> m_rows;
    bool m_outOfMemory = false;
};

#include "RowBlock.h"

RowBlock::RowBlock(const RowSource &source, int width)
    : m_source(source)
    , m_width(width)
{
}

uchar *const *RowBlock::fill(int first, int count)
{
    if (m_block.height() < count) {
        m_block = QImage(m_width, count, QImage::Format_RGB32);
        if (m_block.isNull()) {
            m_outOfMemory = true;
            return nullptr;
        }
        m_rows.resize(count);
        for (int i = 0; i < count; ++i)
            m_rows[i] = m_block.scanLine(i);
    }
    return m_source(m_rows.data(), first, count) ? m_rows.data() : nullptr;
}

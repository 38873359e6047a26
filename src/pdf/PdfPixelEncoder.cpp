#include "PdfPixelEncoder.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <zlib.h>

#include <QColorSpace>
#include <QImage>

namespace PdfPixelEncoder {

namespace {

// Deflates rows as they are produced so that a large image never needs a
// second full-size buffer.
class RowDeflater
{
public:
    explicit RowDeflater(int level)
    {
        std::memset(&m_stream, 0, sizeof(m_stream));
        if (deflateInit(&m_stream, level) != Z_OK)
            throw std::runtime_error("zlib initialisation failed");
    }
    ~RowDeflater() { deflateEnd(&m_stream); }
    RowDeflater(const RowDeflater &) = delete;
    RowDeflater &operator=(const RowDeflater &) = delete;

    void add(const unsigned char *data, size_t size) { run(data, size, Z_NO_FLUSH); }
    QByteArray finish()
    {
        run(nullptr, 0, Z_FINISH);
        return m_output;
    }

private:
    void run(const unsigned char *data, size_t size, int flush)
    {
        m_stream.next_in = const_cast<Bytef *>(data);
        m_stream.avail_in = uInt(size);
        unsigned char buffer[65536];
        int status;
        do {
            m_stream.next_out = buffer;
            m_stream.avail_out = sizeof(buffer);
            status = deflate(&m_stream, flush);
            if (status == Z_STREAM_ERROR)
                throw std::runtime_error("zlib compression failed");
            m_output.append(
                reinterpret_cast<const char *>(buffer), int(sizeof(buffer) - m_stream.avail_out));
        } while (m_stream.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    }

    z_stream m_stream;
    QByteArray m_output;
};

int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// PNG filtering per row, choosing the filter with the smallest sum of
// absolute (signed) residuals, the usual heuristic that suits photos and
// drawings alike.
class PredictorEncoder
{
public:
    PredictorEncoder(int rowBytes, int bytesPerPixel)
        : m_rowBytes(size_t(rowBytes))
        , m_bpp(size_t(bytesPerPixel))
        , m_previous(m_rowBytes, 0)
        , m_candidates(5, std::vector<unsigned char>(m_rowBytes + 1))
        , m_deflater(Z_DEFAULT_COMPRESSION)
    {
    }

    void addRow(const unsigned char *row)
    {
        const unsigned char *up = m_previous.data();
        size_t best = 0;
        unsigned long bestScore = ~0UL;
        for (int filter = 0; filter < 5; ++filter) {
            unsigned char *out = m_candidates[size_t(filter)].data();
            out[0] = static_cast<unsigned char>(filter);
            unsigned long score = 0;
            for (size_t i = 0; i < m_rowBytes; ++i) {
                const int left = i >= m_bpp ? row[i - m_bpp] : 0;
                const int upper = up[i];
                const int corner = i >= m_bpp ? up[i - m_bpp] : 0;
                int predicted = 0;
                switch (filter) {
                case 1:
                    predicted = left;
                    break;
                case 2:
                    predicted = upper;
                    break;
                case 3:
                    predicted = (left + upper) / 2;
                    break;
                case 4:
                    predicted = paeth(left, upper, corner);
                    break;
                default:
                    break;
                }
                const auto residual = static_cast<unsigned char>(row[i] - predicted);
                out[i + 1] = residual;
                score += residual < 128 ? residual : 256 - residual;
            }
            if (score < bestScore) {
                bestScore = score;
                best = size_t(filter);
            }
        }
        m_deflater.add(m_candidates[best].data(), m_rowBytes + 1);
        std::memcpy(m_previous.data(), row, m_rowBytes);
    }

    QByteArray finish() { return m_deflater.finish(); }

private:
    const size_t m_rowBytes;
    const size_t m_bpp;
    std::vector<unsigned char> m_previous;
    std::vector<std::vector<unsigned char>> m_candidates;
    RowDeflater m_deflater;
};

} // namespace

Encoded encode(const QImage &image)
{
    Encoded encoded;
    if (image.isNull())
        return encoded;

    const QImage source = image.convertToFormat(
        image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const int width = source.width();
    const int height = source.height();

    bool gray = true;
    bool bilevel = true;
    for (int y = 0; y < height && (gray || !encoded.hasAlpha); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb p = line[x];
            if (qAlpha(p) != 255)
                encoded.hasAlpha = true;
            if (gray && (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p)))
                gray = bilevel = false;
            if (bilevel && qRed(p) != 0 && qRed(p) != 255)
                bilevel = false;
        }
    }

    // The image's colour profile travels with RGB samples (the toolkit reads
    // RGB profiles only). Plain sRGB is what readers assume anyway, so a gray
    // sRGB image may drop it and be stored as gray.
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && !(gray && space == QColorSpace(QColorSpace::SRgb))) {
        encoded.iccProfile = space.iccProfile();
        if (!encoded.iccProfile.isEmpty())
            gray = bilevel = false;
    }

    Plane &colour = encoded.colour;
    colour.width = width;
    colour.height = height;
    colour.components = gray ? 1 : 3;
    colour.bitsPerComponent = bilevel ? 1 : 8;
    const int rowBytes = bilevel ? (width + 7) / 8 : width * colour.components;
    PredictorEncoder colourRows(rowBytes, bilevel ? 1 : colour.components);
    std::vector<unsigned char> row(static_cast<size_t>(rowBytes));
    for (int y = 0; y < height; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        if (bilevel) {
            std::fill(row.begin(), row.end(), 0);
            for (int x = 0; x < width; ++x) {
                if (qRed(line[x]))
                    row[size_t(x / 8)] |= static_cast<unsigned char>(0x80 >> (x % 8));
            }
        } else if (gray) {
            for (int x = 0; x < width; ++x)
                row[size_t(x)] = static_cast<unsigned char>(qRed(line[x]));
        } else {
            for (int x = 0; x < width; ++x) {
                row[size_t(3 * x)] = static_cast<unsigned char>(qRed(line[x]));
                row[size_t(3 * x + 1)] = static_cast<unsigned char>(qGreen(line[x]));
                row[size_t(3 * x + 2)] = static_cast<unsigned char>(qBlue(line[x]));
            }
        }
        colourRows.addRow(row.data());
    }
    colour.flateData = colourRows.finish();

    if (encoded.hasAlpha) {
        Plane &alpha = encoded.alpha;
        alpha.width = width;
        alpha.height = height;
        alpha.components = 1;
        alpha.bitsPerComponent = 8;
        PredictorEncoder alphaRows(width, 1);
        std::vector<unsigned char> alphaRow(static_cast<size_t>(width));
        for (int y = 0; y < height; ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(source.constScanLine(y));
            for (int x = 0; x < width; ++x)
                alphaRow[size_t(x)] = static_cast<unsigned char>(qAlpha(line[x]));
            alphaRows.addRow(alphaRow.data());
        }
        alpha.flateData = alphaRows.finish();
    }
    return encoded;
}

} // namespace PdfPixelEncoder

// imgsim <reference> <candidate>
//
// Prints "psnr=<dB> ssim=<index> size=<w>x<h>" for the candidate against the
// reference, the same way for every tool's output: both decoded by the
// program's decoders (first frame), both composited onto white, the
// candidate scaled to the reference's size when it differs (a picture made
// smaller to meet a byte limit is judged by what it lost), PSNR over RGB,
// and the mean SSIM of luma over 8x8 windows every 4 pixels. Exit status 1
// when either image cannot be read. A benchmark helper, not part of ctest.

#include <cmath>
#include <cstdio>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "codec/CodecLibraries.h"
#include "codec/KImageWrapper.h"

namespace {

QImage readFlat(const QString &path)
{
    KImageWrapper wrapper;
    if (!wrapper.load(path) || wrapper.loadState() != KImageWrapper::Loaded)
        return QImage();
    const QImage frame = wrapper.frameAt(0);
    if (frame.isNull())
        return QImage();
    QImage flat(frame.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, frame);
    painter.end();
    return flat;
}

double psnr(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int dr = qRed(pa[x]) - qRed(pb[x]);
            const int dg = qGreen(pa[x]) - qGreen(pb[x]);
            const int db = qBlue(pa[x]) - qBlue(pb[x]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

QVector<float> luma(const QImage &image)
{
    QVector<float> values(image.width() * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            values[y * image.width() + x]
                = 0.299f * qRed(p[x]) + 0.587f * qGreen(p[x]) + 0.114f * qBlue(p[x]);
    }
    return values;
}

double ssim(const QImage &a, const QImage &b)
{
    const int w = a.width(), h = a.height();
    const QVector<float> la = luma(a), lb = luma(b);
    const double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
    const int window = 8, step = 4;
    double total = 0;
    long count = 0;
    for (int y = 0; y + window <= h; y += step) {
        for (int x = 0; x + window <= w; x += step) {
            double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
            for (int j = 0; j < window; ++j) {
                const float *ra = la.constData() + (y + j) * w + x;
                const float *rb = lb.constData() + (y + j) * w + x;
                for (int i = 0; i < window; ++i) {
                    sa += ra[i];
                    sb += rb[i];
                    saa += double(ra[i]) * ra[i];
                    sbb += double(rb[i]) * rb[i];
                    sab += double(ra[i]) * rb[i];
                }
            }
            const double n = window * window;
            const double ma = sa / n, mb = sb / n;
            const double va = saa / n - ma * ma, vb = sbb / n - mb * mb, cov = sab / n - ma * mb;
            total += ((2 * ma * mb + c1) * (2 * cov + c2))
                / ((ma * ma + mb * mb + c1) * (va + vb + c2));
            ++count;
        }
    }
    return count ? total / count : 1.0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    initialiseCodecLibraries();
    if (argc != 3) {
        std::fprintf(stderr, "usage: imgsim <reference> <candidate>\n");
        return 2;
    }
    const QImage reference = readFlat(QString::fromLocal8Bit(argv[1]));
    QImage candidate = readFlat(QString::fromLocal8Bit(argv[2]));
    if (reference.isNull() || candidate.isNull()) {
        std::fprintf(stderr, "imgsim: cannot read %s\n", reference.isNull() ? argv[1] : argv[2]);
        return 1;
    }
    const QSize original = candidate.size();
    if (candidate.size() != reference.size())
        candidate
            = candidate.scaled(reference.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                  .convertToFormat(QImage::Format_RGB32);
    std::printf("psnr=%.2f ssim=%.4f size=%dx%d\n", psnr(reference, candidate),
        ssim(reference, candidate), original.width(), original.height());
    return 0;
}

// Times loading (decode + first frame) and saving (JPG and PNG through the
// wrapper) of a set of large images, one or more per decoder, so that
// later changes to the codec layer can be compared. Not a test: it prints
// figures and asserts nothing.
//
//   codecbench <fixture folder> [repetitions]
//
// The fixtures are made on first use in the given folder.

#include <algorithm>
#include <cmath>

#include <FreeImage.h>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "CodecFixtures.h"
#include "codec/ImageFormats.h"
#include "codec/KImageWrapper.h"

using namespace CodecFixtures;

namespace {

// A photo-like picture: smooth gradients, soft blobs and fine noise.
QImage photo(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor(40, 90, 160));
    sky.setColorAt(1, QColor(230, 180, 120));
    painter.fillRect(image.rect(), sky);
    QRandomGenerator random(42);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 300; ++i) {
        const QPointF c(random.bounded(width), random.bounded(height));
        const qreal r = 20 + random.bounded(width / 8);
        QRadialGradient blob(c, r);
        blob.setColorAt(0, QColor::fromHsv(random.bounded(360), 160, 220, 160));
        blob.setColorAt(1, Qt::transparent);
        painter.setBrush(blob);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(c, r, r);
    }
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(9)) - 4;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255),
                qBound(0, qBlue(p) + n, 255));
        }
    }
    return image;
}

QByteArray encoded(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

QByteArray freeImageFile(const QImage &image, FREE_IMAGE_FORMAT fif)
{
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    FIBITMAP *bitmap = FreeImage_ConvertFromRawBits(argb.bits(), argb.width(), argb.height(),
        argb.bytesPerLine(), 32, 0x00FF0000, 0x0000FF00, 0x000000FF, TRUE);
    FIMEMORY *memory = FreeImage_OpenMemory();
    QByteArray out;
    if (FreeImage_SaveToMemory(fif, bitmap, memory, 0)) {
        BYTE *data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &data, &size);
        out = QByteArray(reinterpret_cast<const char *>(data), int(size));
    }
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(bitmap);
    return out;
}

QByteArray largeSvg()
{
    QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 4000 3000'>";
    QRandomGenerator random(7);
    for (int i = 0; i < 4000; ++i)
        svg += QStringLiteral("<path d='M%1 %2 q %3 %4 %5 %6 t %7 %8' stroke='#%9' fill='none' "
                              "stroke-width='%10'/>")
                   .arg(random.bounded(4000))
                   .arg(random.bounded(3000))
                   .arg(random.bounded(400) - 200)
                   .arg(random.bounded(400) - 200)
                   .arg(random.bounded(400) - 200)
                   .arg(random.bounded(400) - 200)
                   .arg(random.bounded(400) - 200)
                   .arg(random.bounded(400) - 200)
                   .arg(random.bounded(0xFFFFFF), 6, 16, QLatin1Char('0'))
                   .arg(1 + random.bounded(8))
                   .toLatin1();
    return svg + "</svg>";
}

QByteArray largeEmf(const QImage &picture)
{
    EmfBuilder emf(QSize(3000, 2000));
    QRandomGenerator random(3);
    for (quint32 i = 1; i <= 8; ++i)
        emf.createBrush(i, QColor::fromHsv(int(i) * 40, 200, 220).rgb());
    for (int i = 0; i < 20000; ++i) {
        emf.selectObject(quint32(1 + random.bounded(8)));
        const QRect r(random.bounded(3000), random.bounded(2000), 5 + random.bounded(200),
            5 + random.bounded(200));
        if (i % 3)
            emf.rectangle(r);
        else
            emf.ellipse(r);
    }
    emf.stretchDIBits(QRect(500, 500, 2000, 1000), picture.scaled(1000, 500));
    for (int i = 0; i < 200; ++i)
        emf.textOut(
            QPoint(random.bounded(2800), random.bounded(1950)), QStringLiteral("quorvel"), 24);
    return emf.finish();
}

QByteArray largeGif()
{
    QVector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.append(QColor::fromHsv(i * 359 / 255, 200, 230).rgb());
    QVector<GifFrame> frames;
    QRandomGenerator random(5);
    for (int f = 0; f < 60; ++f) {
        GifFrame frame;
        frame.rect = f == 0 ? QRect(0, 0, 1200, 900)
                            : QRect(random.bounded(600), random.bounded(450), 600, 450);
        frame.disposal = f % 3;
        frame.delayCs = 5;
        frame.indices.resize(frame.rect.width() * frame.rect.height());
        for (int i = 0; i < frame.indices.size(); ++i)
            frame.indices[i] = quint8((i / 7 + f * 13) & 0xFF);
        frames.append(frame);
    }
    return gifFile(QSize(1200, 900), palette, frames);
}

struct Fixture
{
    QString decoder;
    QString file;
};

QVector<Fixture> makeFixtures(const QString &dir)
{
    QDir().mkpath(dir);
    QVector<Fixture> fixtures {
        { "system", "photo-24mp.jpg" },
        { "system", "photo-24mp.png" },
        { "system", "photo-24mp.tif" },
        { "system", "photo-12mp.webp" },
        { "system", "pages-60.tif" },
        { "gif", "anim-60-frames.gif" },
        { "freeimage", "photo-24mp.tga" },
        { "freeimage", "photo-12mp.psd" },
        { "freeimage", "raw-12mp.dng" },
        { "heif", "photo-12mp.heic" },
        { "svg", "paths-4000.svg" },
        { "metafile", "shapes-20000.emf" },
    };
    bool missing = false;
    for (const Fixture &f : fixtures)
        missing = missing || !QFile::exists(dir + "/" + f.file);
    if (!missing)
        return fixtures;
    fprintf(stderr, "making fixtures in %s ...\n", qPrintable(dir));
    const QImage big = photo(6000, 4000);
    const QImage medium = photo(4032, 3024);
    auto put = [&dir](const QString &name, const QByteArray &bytes) {
        QFile file(dir + "/" + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(name));
    };
    put("photo-24mp.jpg", encoded(big, "jpg", 92));
    put("photo-24mp.png", encoded(big, "png"));
    put("photo-24mp.tif", encoded(big, "tif"));
    put("photo-12mp.webp", encoded(medium, "webp", 90));
    QVector<QImage> pages;
    for (int i = 0; i < 60; ++i)
        pages.append(medium.scaled(1240, 1754).copy());
    put("pages-60.tif", tiffFile(pages));
    put("anim-60-frames.gif", largeGif());
    put("photo-24mp.tga", freeImageFile(big, FIF_TARGA));
    put("photo-12mp.psd", psdFile(medium));
    put("raw-12mp.dng", dngFile(4032, 3024));
    HeifOptions heif;
    heif.lossless = false;
    put("photo-12mp.heic", heifFile(medium, heif));
    put("paths-4000.svg", largeSvg());
    put("shapes-20000.emf", largeEmf(medium));
    return fixtures;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
        qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: codecbench <fixture folder> [repetitions]\n");
        return 2;
    }
    // codecbench --dng FILE W H: only the synthetic camera RAW, for the
    // workload table's DNG row.
    if (argc == 5 && qstrcmp(argv[1], "--dng") == 0) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        const QByteArray bytes = dngFile(atoi(argv[3]), atoi(argv[4]));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? 0 : 1;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const int repetitions = argc > 2 ? qMax(1, atoi(argv[2])) : 3;
    const QVector<Fixture> fixtures = makeFixtures(dir);
    QTemporaryDir out;
    const ImageFormatRecord *jpg = ImageFormats::global().record(ImageFormatJpeg);
    const ImageFormatRecord *png = ImageFormats::global().record(ImageFormatPng);

    printf("%-10s %-22s %10s %8s %10s %10s %10s\n", "decoder", "file", "MB", "frames", "load ms",
        "jpg ms", "png ms");
    for (const Fixture &f : fixtures) {
        const QString path = dir + "/" + f.file;
        QVector<double> load, saveJpg, savePng;
        int frames = 0;
        QSize size;
        for (int r = 0; r < repetitions; ++r) {
            QElapsedTimer timer;
            timer.start();
            KImageWrapper wrapper;
            const bool ok = wrapper.load(path);
            const QImage first = wrapper.frameAt(0);
            load.append(timer.nsecsElapsed() / 1e6);
            if (!ok || first.isNull()) {
                printf("%-10s %-22s failed to load\n", qPrintable(f.decoder), qPrintable(f.file));
                break;
            }
            frames = wrapper.frameCount();
            size = first.size();
            timer.restart();
            const QString a = wrapper.saveFirstFrameAs(jpg, out.path(), "bench");
            saveJpg.append(timer.nsecsElapsed() / 1e6);
            timer.restart();
            const QString b = wrapper.saveFirstFrameAs(png, out.path(), "bench");
            savePng.append(timer.nsecsElapsed() / 1e6);
            QFile::remove(a);
            QFile::remove(b);
        }
        if (load.size() == repetitions)
            printf("%-10s %-22s %10.1f %8d %10.0f %10.0f %10.0f   (%dx%d)\n", qPrintable(f.decoder),
                qPrintable(f.file), QFileInfo(path).size() / 1048576.0, frames, median(load),
                median(saveJpg), median(savePng), size.width(), size.height());
        fflush(stdout);
    }
    return 0;
}

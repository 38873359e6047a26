// Writes a small seed corpus per fuzzed decoder, made with the test
// fixture makers: make_seeds <output folder>.

#include <FreeImage.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include "CodecFixtures.h"
#include "TestUtils.h"

using namespace CodecFixtures;

namespace {

QByteArray encoded(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

QByteArray freeImageFile(const QImage &image, FREE_IMAGE_FORMAT fif, int flags = 0)
{
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    FIBITMAP *bitmap = FreeImage_ConvertFromRawBits(argb.bits(), argb.width(), argb.height(),
        argb.bytesPerLine(), 32, 0x00FF0000, 0x0000FF00, 0x000000FF, TRUE);
    if (fif == FIF_HDR) {
        FIBITMAP *floats = FreeImage_ConvertToRGBF(bitmap);
        FreeImage_Unload(bitmap);
        bitmap = floats;
    }
    FIMEMORY *memory = FreeImage_OpenMemory();
    QByteArray out;
    if (FreeImage_SaveToMemory(fif, bitmap, memory, flags)) {
        BYTE *data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &data, &size);
        out = QByteArray(reinterpret_cast<const char *>(data), int(size));
    }
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(bitmap);
    return out;
}

void put(const QString &dir, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(dir);
    QFile file(dir + QLatin1Char('/') + name);
    if (!bytes.isEmpty() && file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QImage small = TestUtils::quadrantImage(24, 16, QImage::Format_ARGB32);
    const QImage alpha = TestUtils::halfTransparentImage(16, 8);

    // Toolkit-reader formats.
    for (const char *format : { "png", "jpg", "bmp", "ico", "webp", "xpm", "ppm", "tif" })
        put(out + "/system", QStringLiteral("seed.%1").arg(QLatin1String(format)),
            encoded(small, format, 90));
    put(out + "/system", "alpha.png", encoded(alpha, "png"));
    put(out + "/system", "mono.xbm", encoded(small.convertToFormat(QImage::Format_Mono), "xbm"));
    put(out + "/system", "exif.jpg", jpegWithExif(encoded(small, "jpg"), 6));
    put(out + "/system", "exif.png", pngWithExif(encoded(small, "png"), 8));
    put(out + "/system", "exif.webp", webpWithExif(encoded(small, "webp", 100), 3));
    put(out + "/system", "pages.tif", tiffFile({ small, alpha, small }, 6));
    put(out + "/system", "anim.webp", webpAnimation({ small, small }));
    // In-memory data: GIF and WebP animations mostly.
    put(out + "/data", "anim.gif",
        gifFile(QSize(8, 8), { qRgb(255, 0, 0), qRgb(0, 0, 255) },
            { solidGifFrame(QRect(0, 0, 8, 8), 0, 2, 5),
                solidGifFrame(QRect(2, 2, 4, 4), 1, 3, 5) }));
    put(out + "/data", "anim.webp", webpAnimation({ small, small }));
    put(out + "/data", "seed.png", encoded(small, "png"));
    put(out + "/data", "pages.tif", tiffFile({ small, alpha }));
    // GIF.
    GifFrame interlaced = solidGifFrame(QRect(0, 0, 6, 9), 1);
    interlaced.interlaced = true;
    GifFrame local = solidGifFrame(QRect(1, 1, 3, 3), 0, 1, 10, 0);
    local.localPalette = { qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(0, 0, 0) };
    put(out + "/gif", "frames.gif",
        gifFile(QSize(8, 9), { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 0) },
            { solidGifFrame(QRect(0, 0, 8, 9), 0, 2, 4), interlaced, local,
                solidGifFrame(QRect(4, 4, 4, 4), 2, 3, 7) }));
    // FreeImage: TGA, PSD, DDS, HDR and friends come from the test files;
    // here the ones the fixture makers write.
    put(out + "/freeimage", "png.tga", encoded(small, "png"));
    put(out + "/freeimage", "plain.tga", freeImageFile(small, FIF_TARGA));
    put(out + "/freeimage", "rle.tga", freeImageFile(small, FIF_TARGA, TARGA_SAVE_RLE));
    put(out + "/freeimage", "layers.psd", psdFile(small));
    put(out + "/freeimage", "float.hdr", freeImageFile(small, FIF_HDR));
    put(out + "/freeimage", "tiff.tga", tiffFile({ small }, 6));
    put(out + "/raw", "shot.dng", dngFile(16, 12, 6));
    // HEIF.
    HeifOptions heif;
    heif.alpha = true;
    put(out + "/heif", "alpha.heic", heifFile(alpha, heif));
    heif.alpha = false;
    heif.bitDepth = 10;
    heif.icc = QByteArray();
    put(out + "/heif", "deep.heic", heifFile(small, heif));
    put(out + "/heif", "depth.heic", heifWithDepth(alpha));
    // SVG.
    put(out + "/svg", "shapes.svg",
        "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
        "viewBox='0 0 20 10'><defs><linearGradient id='g'><stop offset='0' stop-color='red'/>"
        "<stop offset='1' stop-color='blue'/></linearGradient><rect id='r' width='3' "
        "height='3'/></defs>"
        "<rect width='20' height='10' fill='url(#g)'/><use xlink:href='#r' x='4'/>"
        "<text x='2' y='8' font-size='4'>Hi</text><path d='M0 0 L10 10 Q 15 0 20 10z'/></svg>");
    // Metafiles.
    EmfBuilder emf(QSize(40, 30));
    emf.setMapMode(8);
    emf.setWindowExt(400, 300);
    emf.setViewportExt(40, 30);
    emf.createBrush(1, qRgb(0, 0, 255), 2);
    emf.selectObject(1);
    emf.createPen(2, qRgb(255, 0, 0), 3, 0x10000 | 0x200);
    emf.selectObject(2);
    emf.rectangle(QRect(10, 10, 100, 100));
    emf.ellipse(QRect(150, 50, 100, 80));
    emf.polygon16({ QPoint(0, 0), QPoint(300, 20), QPoint(100, 250) });
    emf.textOut(QPoint(20, 200), QStringLiteral("Hi"), 60);
    emf.stretchDIBits(QRect(200, 150, 100, 100), small);
    put(out + "/metafile", "shapes.emf", emf.finish());
    WmfBuilder wmf(QRect(0, 0, 1440, 960), 1440);
    wmf.createBrush(qRgb(255, 0, 0));
    wmf.selectObject(0);
    wmf.createPen(qRgb(0, 0, 0), 20);
    wmf.selectObject(1);
    wmf.rectangle(QRect(100, 100, 500, 500));
    wmf.polygon({ QPoint(0, 0), QPoint(1000, 100), QPoint(500, 900) });
    put(out + "/metafile", "shapes.wmf", wmf.finish());
    return 0;
}

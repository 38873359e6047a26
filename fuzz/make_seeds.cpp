// Writes a small seed corpus per fuzzed decoder, made with the test
// fixture makers: make_seeds <output folder>.

#include <FreeImage.h>
#include <uemf.h>
#include <uwmf.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include "CodecFixtures.h"
#include "TestUtils.h"
#include "UemfWriter.h"

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

// Clip regions and paths, run-length encoded bitmaps and mapping modes,
// written with libUEMF.
void metafileSeeds(const QString &dir)
{
    auto rectl = [](int l, int t, int r, int b) {
        return rectl_set(point32_set(l, t), point32_set(r, b));
    };
    {
        UemfWriter::Emf emf(QSize(40, 30));
        U_RECTL rects[2] = { rectl(0, 0, 10, 10), rectl(20, 10, 40, 30) };
        PU_RGNDATA region = rgndata_set(rgndataheader_set(2, rectl(0, 0, 40, 30)), rects);
        emf.add(U_EMRSAVEDC_set());
        emf.add(U_EMREXTSELECTCLIPRGN_set(U_RGN_OR, region));
        free(region);
        emf.add(U_EMRINTERSECTCLIPRECT_set(rectl(2, 2, 38, 28)));
        emf.add(U_EMRBEGINPATH_set());
        emf.add(U_EMRELLIPSE_set(rectl(0, 0, 40, 30)));
        emf.add(U_EMRENDPATH_set());
        emf.add(U_EMRSELECTCLIPPATH_set(U_RGN_XOR));
        emf.add(U_EMROFFSETCLIPRGN_set(point32_set(3, 3)));
        emf.fill(QRect(0, 0, 40, 30), qRgb(255, 0, 0));
        emf.add(U_EMRRESTOREDC_set(-1));
        emf.fill(QRect(5, 5, 10, 10), qRgb(0, 0, 255));
        put(dir, "clip.emf", emf.finish());
    }
    U_RGBQUAD colors[3] = { { 255, 255, 255, 0 }, { 255, 0, 0, 0 }, { 0, 255, 0, 0 } };
    const QVector<QVector<quint8>> rows { { 1, 1, 2, 2, 1, 2, 1, 0 }, { 2, 2, 2, 2, 2, 2, 2, 2 } };
    for (int bpp : { 8, 4 }) {
        QByteArray data = UemfWriter::rleDelta(1, 0) + UemfWriter::rleEncode(rows, bpp);
        PU_BITMAPINFO bmi = bitmapinfo_set(
            bitmapinfoheader_set(8, 2, 1, quint16(bpp), bpp == 8 ? U_BI_RLE8 : U_BI_RLE4,
                quint32(data.size()), 0, 0, 3, 0),
            colors);
        UemfWriter::Emf emf(QSize(40, 30));
        emf.add(U_EMRSTRETCHDIBITS_set(rectl(0, 0, 40, 30), point32_set(0, 0), point32_set(40, 30),
            point32_set(0, 0), point32_set(8, 2), U_DIB_RGB_COLORS, U_SRCCOPY, bmi,
            quint32(data.size()), data.data()));
        put(dir, bpp == 8 ? "rle8.emf" : "rle4.emf", emf.finish());
        UemfWriter::Wmf wmf(QRect(0, 0, 40, 30), 96);
        wmf.add(U_WMRSTRETCHDIB_set(point16_set(0, 0), point16_set(40, 30), point16_set(0, 0),
            point16_set(8, 2), U_DIB_RGB_COLORS, U_SRCCOPY, bmi, quint32(data.size()),
            data.constData()));
        put(dir, bpp == 8 ? "rle8.wmf" : "rle4.wmf", wmf.finish());
        free(bmi);
    }
    {
        UemfWriter::Wmf wmf(QRect(0, 0, 264, -264), 254);
        wmf.add(U_WMRSETMAPMODE_set(U_MM_LOMETRIC));
        wmf.fill(QRect(0, -132, 132, 132), qRgb(255, 0, 0));
        wmf.add(U_WMRSETMAPMODE_set(U_MM_ISOTROPIC));
        wmf.add(U_WMRSETWINDOWEXT_set(point16_set(200, 100)));
        wmf.add(U_WMRSETVIEWPORTORG_set(point16_set(10, 10)));
        wmf.add(U_WMRSCALEVIEWPORTEXT_set(point16_set(2, 2), point16_set(1, 1)));
        wmf.fill(QRect(0, 0, 100, 100), qRgb(0, 0, 255));
        put(dir, "mapping.wmf", wmf.finish());
    }
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
    metafileSeeds(out + "/metafile");
    return 0;
}

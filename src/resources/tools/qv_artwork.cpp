// Build-time tool: renders the program's artwork from the SVG sources.
//   qv_artwork <artwork.txt> <svg dir> <out dir>
// Writes out/compiled/Resources/*.png, *.gif (the compiled-in set),
// out/bundle/photo.ico and out/bundle/Resources/*.png (the external bundle),
// and the two .qrc files that list them.

#include <cstdio>

#include <gif_lib.h>

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>
#include <QtMath>

namespace {

const char *kPlainColour = "#7A8494";
const char *kHoverColour = "#06A8FF";

bool renderSvg(const QByteArray &svg, QSize size, const QString &out)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "qv_artwork: invalid SVG for %s\n", qPrintable(out));
        return false;
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    return image.save(out, "PNG");
}

// One frame of the loading spinner: twelve dots, the leading one darkest.
QImage spinnerFrame(int size, int frame, int frames)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const qreal centre = size / 2.0;
    const qreal radius = size * 0.36;
    const qreal dot = qMax<qreal>(1.5, size * 0.075);
    for (int i = 0; i < frames; ++i) {
        const int age = (frame - i + frames) % frames;
        const qreal strength = 1.0 - qreal(age) / frames;
        QColor colour(0x43, 0x9E, 0xFF);
        colour.setAlphaF(0.15 + 0.85 * strength);
        painter.setBrush(colour);
        const qreal angle = 2 * M_PI * i / frames - M_PI / 2;
        painter.drawEllipse(
            QPointF(centre + radius * qCos(angle), centre + radius * qSin(angle)), dot, dot);
    }
    painter.end();
    return image;
}

bool writeSpinner(const QString &path, int size)
{
    const int frames = 12;
    // Palette: white (used as transparent) and a ramp from white to the accent.
    QVector<QRgb> table;
    for (int i = 0; i < 32; ++i) {
        const qreal t = i / 31.0;
        table << qRgb(int(255 + (0x43 - 255) * t), int(255 + (0x9E - 255) * t), 255);
    }
    int error = 0;
    GifFileType *gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &error);
    if (!gif)
        return false;
    ColorMapObject *map = GifMakeMapObject(32, nullptr);
    for (int i = 0; i < 32; ++i) {
        map->Colors[i].Red = GifByteType(qRed(table[i]));
        map->Colors[i].Green = GifByteType(qGreen(table[i]));
        map->Colors[i].Blue = GifByteType(qBlue(table[i]));
    }
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, size, size, 8, 0, map) == GIF_OK;
    // Loop forever.
    unsigned char loop[3] = { 1, 0, 0 };
    ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK
        && EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK
        && EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
    for (int f = 0; ok && f < frames; ++f) {
        const QImage indexed
            = spinnerFrame(size, f, frames)
                  .convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither);
        GraphicsControlBlock gcb;
        gcb.DisposalMode = DISPOSE_BACKGROUND;
        gcb.UserInputFlag = false;
        gcb.DelayTime = 8;
        gcb.TransparentColor = 0;
        GifByteType ext[4];
        const size_t len = EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext) == GIF_OK
            && EGifPutImageDesc(gif, 0, 0, size, size, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < size; ++y)
            ok = EGifPutLine(gif, const_cast<GifPixelType *>(indexed.constScanLine(y)), size)
                == GIF_OK;
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK)
        ok = false;
    return ok;
}

bool writeQrc(const QString &path, const QString &prefix, const QStringList &files)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"" << prefix << "\">\n";
    for (const QString &f : files)
        out << "  <file>" << f << "</file>\n";
    out << "</qresource>\n</RCC>\n";
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: qv_artwork <artwork.txt> <svg dir> <out dir>\n");
        return 2;
    }
    const QString manifestPath = QString::fromLocal8Bit(argv[1]);
    const QDir svgDir(QString::fromLocal8Bit(argv[2]));
    const QDir outDir(QString::fromLocal8Bit(argv[3]));
    outDir.mkpath(QStringLiteral("compiled/Resources"));
    outDir.mkpath(QStringLiteral("bundle/Resources"));

    QFile manifest(manifestPath);
    if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "qv_artwork: cannot read %s\n", argv[1]);
        return 1;
    }
    QStringList compiled, bundle;
    bool ok = true;
    while (!manifest.atEnd()) {
        const QString line = QString::fromUtf8(manifest.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() != 5) {
            std::fprintf(stderr, "qv_artwork: bad line: %s\n", qPrintable(line));
            return 1;
        }
        QFile svgFile(svgDir.filePath(f[0] + QStringLiteral(".svg")));
        if (!svgFile.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "qv_artwork: missing %s.svg\n", qPrintable(f[0]));
            return 1;
        }
        const QByteArray svg = svgFile.readAll();
        const QSize size(f[1].toInt(), f[2].toInt());
        const bool toBundle = f[4] == QLatin1String("bundle");
        const QString sub = toBundle ? QStringLiteral("bundle") : QStringLiteral("compiled");
        QStringList &list = toBundle ? bundle : compiled;
        if (f[3] == QLatin1String("hover")) {
            QByteArray plain = svg, hover = svg;
            plain.replace("COLOR", kPlainColour);
            hover.replace("COLOR", kHoverColour);
            ok &= renderSvg(plain, size, outDir.filePath(sub + "/Resources/" + f[0] + ".png"));
            ok &= renderSvg(
                hover, size, outDir.filePath(sub + "/Resources/" + f[0] + "-hover.png"));
            list << QStringLiteral("Resources/") + f[0] + ".png"
                 << QStringLiteral("Resources/") + f[0] + "-hover.png";
        } else {
            ok &= renderSvg(svg, size, outDir.filePath(sub + "/Resources/" + f[0] + ".png"));
            list << QStringLiteral("Resources/") + f[0] + ".png";
        }
    }
    ok &= writeSpinner(outDir.filePath(QStringLiteral("compiled/Resources/loading.gif")), 48);
    ok &= writeSpinner(
        outDir.filePath(QStringLiteral("compiled/Resources/loading_default.gif")), 24);
    compiled << QStringLiteral("Resources/loading.gif")
             << QStringLiteral("Resources/loading_default.gif");

    // The window icon: the logo, drawn large. The compiled-in set and the bundle both carry it.
    QFile logo(svgDir.filePath(QStringLiteral("title.svg")));
    if (logo.open(QIODevice::ReadOnly)) {
        const QByteArray svg = logo.readAll();
        QSvgRenderer renderer(svg);
        QImage icon(64, 64, QImage::Format_ARGB32);
        icon.fill(Qt::transparent);
        QPainter painter(&icon);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        ok &= icon.save(outDir.filePath(QStringLiteral("compiled/Resources/photo.ico")), "ICO");
        ok &= icon.save(outDir.filePath(QStringLiteral("bundle/photo.ico")), "ICO");
        compiled << QStringLiteral("Resources/photo.ico");
        bundle << QStringLiteral("photo.ico");
    } else {
        ok = false;
    }
    ok &= writeQrc(
        outDir.filePath(QStringLiteral("compiled/quorvel.qrc")), QStringLiteral("/"), compiled);
    ok &= writeQrc(
        outDir.filePath(QStringLiteral("bundle/default.qrc")), QStringLiteral("/"), bundle);
    if (!ok) {
        std::fprintf(stderr, "qv_artwork: some artwork could not be written\n");
        return 1;
    }
    return 0;
}

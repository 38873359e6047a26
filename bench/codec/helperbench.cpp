// What decoding in the helper process costs per FreeImage file: the same
// TGA files loaded through KImageWrapper (which starts quorvel-decode for
// each) and through FreeImage in this process, median of N runs each. Not
// a test: it prints figures and asserts nothing.
//
//   helperbench [runs]

#include <algorithm>

#include <FreeImage.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QVector>

#include "codec/FreeImageLoader.h"
#include "codec/KImageWrapper.h"

namespace {

QString writeTga(const QString &dir, int width, int height)
{
    FIBITMAP *bitmap = FreeImage_Allocate(width, height, 24);
    for (int y = 0; y < height; ++y) {
        BYTE *line = FreeImage_GetScanLine(bitmap, y);
        for (int x = 0; x < width * 3; ++x)
            line[x] = BYTE((x * 7 + y * 13) & 0xFF);
    }
    const QString path = QStringLiteral("%1/%2x%3.tga").arg(dir).arg(width).arg(height);
    FreeImage_Save(FIF_TARGA, bitmap, QFile::encodeName(path).constData(), 0);
    FreeImage_Unload(bitmap);
    return path;
}

template <typename F> double medianMs(int runs, F load)
{
    QVector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!load())
            return -1;
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(3, atoi(argv[1])) : 21;
    QTemporaryDir dir;
    std::printf("%-14s %12s %12s %12s\n", "file", "helper ms", "in-process", "overhead");
    for (const QSize size : { QSize(16, 16), QSize(1000, 1000), QSize(4000, 3000) }) {
        const QString path = writeTga(dir.path(), size.width(), size.height());
        const double helper = medianMs(runs, [&path]() {
            KImageWrapper wrapper;
            return wrapper.load(path);
        });
        const double local = medianMs(runs, [&path]() {
            QImage image;
            return FreeImageLoader::load(path, &image);
        });
        std::printf("%-14s %12.1f %12.1f %12.1f\n",
            qPrintable(QStringLiteral("%1x%2 TGA").arg(size.width()).arg(size.height())), helper,
            local, helper - local);
    }
    return 0;
}

// Times the PDF tools the way the program runs them, for bench/pdf/run.sh.
//   pdfbench topdf <outdir> <images...>     all images into one PDF (combined mode)
//   pdfbench render <pdf> <outdir> <ext>    every page to <ext> through the converter thread
//   pdfbench pngcost <pdf>                  page 1: render only, our PNG, our BMP, Qt's PNG writer
// Prints "key value" lines.

#include <cstdio>
#include <memory>

#include <poppler-qt5.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include "pdf/KImagePdfConverter.h"
#include "pdf/KPdf2ImageConverterThread.h"
#include "pdf/KPdf2ImageProxy.h"

namespace {

int topdf(const QString &outDir, const QStringList &images)
{
    QDir().mkpath(outDir);
    KImagePdfConverter converter({ 1, QString(), outDir, images });
    QString written;
    int failed = 0;
    // Queued to this (the main) thread and delivered after the run.
    QObject receiver;
    QObject::connect(
        &converter, &KImagePdfConverter::stateChanged, &receiver,
        [&written, &failed](BatchResult r) {
            if (r.status == BatchResult::Succeeded)
                written = r.path;
            else
                ++failed;
        },
        Qt::QueuedConnection);
    QElapsedTimer timer;
    timer.start();
    converter.start();
    converter.wait();
    QCoreApplication::sendPostedEvents(&receiver);
    std::printf("seconds %.3f\nfailed %d\npath %s\nbytes %lld\n", timer.nsecsElapsed() / 1e9,
        failed, qPrintable(written), QFileInfo(written).size());
    return written.isEmpty() ? 1 : 0;
}

int render(const QString &pdf, const QString &outDir, const QString &ext)
{
    QDir().mkpath(outDir);
    const int pages = KPdf2ImageProxy::instance()->pageCount(pdf, QString());
    if (pages <= 0) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(pdf));
        return 1;
    }
    KPdf2ImageConverterThread thread(outDir, { pdf }, ext, {});
    QElapsedTimer timer;
    timer.start();
    thread.start();
    thread.wait();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const int written = QDir(outDir).entryList(QDir::Files).size();
    std::printf("pages %d\nwritten %d\nseconds %.3f\npages_per_second %.2f\n", pages, written,
        seconds, written / seconds);
    return written == pages ? 0 : 1;
}

int pngcost(const QString &pdf)
{
    QTemporaryDir dir;
    std::unique_ptr<Poppler::Document> document(Poppler::Document::load(pdf));
    if (!document || document->numPages() < 1)
        return 1;
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    std::unique_ptr<Poppler::Page> page(document->page(0));
    const int rounds = 5;

    QElapsedTimer timer;
    timer.start();
    QImage image;
    for (int i = 0; i < rounds; ++i)
        image = page->renderToImage(150, 150);
    const double renderOnly = timer.nsecsElapsed() / 1e9 / rounds;

    auto ours = [&dir, &pdf, rounds](const char *ext) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < rounds; ++i) {
            const QString out
                = dir.filePath(QStringLiteral("ours%1.%2").arg(i).arg(QLatin1String(ext)));
            KPdf2ImageProxy::instance()->convertPage(pdf, QString(), 1, out);
        }
        return t.nsecsElapsed() / 1e9 / rounds;
    };
    const double oursPng = ours("png");
    const double oursBmp = ours("bmp");

    timer.restart();
    qint64 qtBytes = 0;
    for (int i = 0; i < rounds; ++i) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "png").write(image);
        qtBytes = bytes.size();
    }
    const double qtPng = timer.nsecsElapsed() / 1e9 / rounds;

    std::printf("render_only_s %.3f\nours_png_s %.3f\nours_bmp_s %.3f\nours_png_bytes %lld\n"
                "qt_default_png_write_s %.3f\nqt_default_png_bytes %lld\n",
        renderOnly, oursPng, oursBmp, QFileInfo(dir.filePath("ours0.png")).size(), qtPng, qtBytes);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerWorkerMetaTypes();
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 3 && args[0] == QLatin1String("topdf"))
        return topdf(args[1], args.mid(2));
    if (args.size() == 4 && args[0] == QLatin1String("render"))
        return render(args[1], args[2], args[3]);
    if (args.size() == 2 && args[0] == QLatin1String("pngcost"))
        return pngcost(args[1]);
    std::fprintf(stderr,
        "usage: pdfbench topdf <outdir> <images...> | render <pdf> <outdir> <ext> | pngcost "
        "<pdf>\n");
    return 2;
}

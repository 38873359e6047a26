#include <atomic>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include "PdfFixtures.h"
#include "TestUtils.h"
#include "app/BatchRun.h"
#include "batch/ui/KPicBatchProcessResize.h"
#include "batch/ui/KPicBatchProcessRotate.h"
#include "compress/ui/KPicBatchCompressProcess.h"
#include "convert/ui/KPicNormalConvertView.h"
#include "pdf/ui/KImageConvertPdfView.h"
#include "pdf/ui/KPdfConvertImageView.h"
#include "pdf/ui/KPdfTableListItem.h"
#include "widgets/KMessageTips.h"
#include "widgets/KTableListItem.h"
#include "widgets/KTableListView.h"

// Every batch view keeps its rows through the list's BatchRun. Each view
// runs three files: a broken one that fails at once, a gate (a named pipe
// that holds its worker until the test writes to it) and a good one. The
// failed row is deleted while the gate still holds the run; then the gate
// opens, and every remaining row must end with its own status and output.

namespace {

struct ViewUnderTest
{
    std::unique_ptr<QWidget> widget;
    KTableListView *list = nullptr;
    std::function<void(const QString &)> start; // into this parent folder
    std::function<bool()> running;
    std::function<QString()> runFolder;
};

ViewUnderTest makeView(const QString &kind)
{
    ViewUnderTest v;
    if (kind == "convert") {
        auto *view = new KPicNormalConvertView;
        v.widget.reset(view);
        v.list = view->fileList();
        v.start = [view](const QString &dir) {
            view->setOutputDirectory(dir);
            view->onStartConvert();
        };
        v.running = [view] { return view->isRunning(); };
        v.runFolder = [view] { return view->lastRunFolder(); };
    } else if (kind == "batch compress") {
        auto *view = new KPicBatchCompressProcess;
        v.widget.reset(view);
        v.list = view->fileList();
        v.start = [view](const QString &dir) { view->startInto(dir); };
        v.running = [view] { return view->isRunning(); };
        v.runFolder = [view] { return view->lastRunFolder(); };
    } else if (kind == "resize") {
        auto *view = new KPicBatchProcessResize;
        v.widget.reset(view);
        v.list = view->fileList();
        v.start = [view](const QString &dir) {
            view->setOutputFolder(dir);
            view->onStartResize();
        };
        v.running = [view] { return view->isRunning(); };
        v.runFolder = [view] { return view->lastRunFolder(); };
    } else if (kind == "rotate") {
        auto *view = new KPicBatchProcessRotate;
        v.widget.reset(view);
        v.list = view->fileList();
        v.start = [view](const QString &dir) {
            view->setOutputFolder(dir);
            view->onStartRotte();
        };
        v.running = [view] { return view->isRunning(); };
        v.runFolder = [view] { return view->lastRunFolder(); };
    } else if (kind == "images to PDF") {
        auto *view = new KImageConvertPdfView;
        v.widget.reset(view);
        v.list = view->fileList();
        v.start = [view](const QString &dir) { view->startInto(dir); };
        v.running = [view] { return view->isRunning(); };
        v.runFolder = [view] { return view->lastRunFolder(); };
    } else {
        auto *view = new KPdfConvertImageView;
        v.widget.reset(view);
        v.list = view->fileList();
        v.start = [view](const QString &dir) { view->startInto(dir); };
        v.running = [view] { return view->isRunning(); };
        v.runFolder = [view] { return view->lastRunFolder(); };
    }
    return v;
}

QByteArray pngBytes()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TestUtils::quadrantImage(40, 30).save(&buffer, "PNG");
    return bytes;
}

// Holds the gate open once released: whenever a worker opens the pipe
// (the renderer may open a document twice) it gets the bytes and then the
// end of the file. Stops and joins on destruction.
class GateKeeper
{
public:
    GateKeeper(const QString &gate, const QByteArray &bytes)
        : m_thread([this, path = QFile::encodeName(gate), bytes]() {
            // A reader may close its end before taking all the bytes (the
            // renderer gives up on a broken document): the write then
            // fails with EPIPE instead of killing the test with SIGPIPE.
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
            while (!m_stop) {
                // Non-blocking: fails with ENXIO while nobody reads.
                const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
                if (fd < 0) {
                    ::usleep(2000);
                    continue;
                }
                ::fcntl(fd, F_SETFL, 0);
                ssize_t ignored = ::write(fd, bytes.constData(), size_t(bytes.size()));
                Q_UNUSED(ignored)
                ::close(fd);
                ::usleep(2000);
            }
        })
    {
    }
    ~GateKeeper()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

} // namespace

class tst_BatchViewsRun : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { KPdfTableListItem::setPageCounter(nullptr); }
    void failedRowDeletedWhileRunning_data();
    void failedRowDeletedWhileRunning();
    void reasonsInTooltips_data();
    void reasonsInTooltips();
};

void tst_BatchViewsRun::failedRowDeletedWhileRunning_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("outputSuffix");
    for (const char *kind : { "convert", "batch compress", "resize", "rotate", "images to PDF" })
        QTest::newRow(kind) << kind << (QByteArray(kind) == "images to PDF" ? ".pdf" : ".jpg");
    QTest::newRow("PDF to images") << "PDF to images"
                                   << "-1.jpg";
}

void tst_BatchViewsRun::failedRowDeletedWhileRunning()
{
    QFETCH(QString, kind);
    QFETCH(QString, outputSuffix);
    QTemporaryDir in, out;
    const bool pdf = kind == "PDF to images";
    const QString ext = pdf ? ".pdf" : ".png";
    const QString broken = TestUtils::writeFile(in.path(), "broken" + ext, "not a picture at all");
    // The gate holds its worker until released. A document: a pipe the
    // renderer blocks on. An image: a TGA only the decoder helper reads,
    // and a helper that waits for the release before it gives up on it.
    QString gate;
    QString good = in.filePath("good" + ext);
    const QString release = in.filePath("release");
    auto restoreHelper = qScopeGuard([] { qunsetenv("QUORVEL_DECODE_HELPER"); });
    if (pdf) {
        // The list refuses pipes; the gate becomes one once it is listed.
        gate = in.filePath("gate.pdf");
        QVERIFY(PdfFixtures::writePdf(gate, 1));
        QVERIFY(PdfFixtures::writePdf(good, 1));
        // The list must not open the gate to count its pages.
        KPdfTableListItem::setPageCounter([](const QString &) { return 1; });
    } else {
        gate = TestUtils::writeFile(in.path(), "gate.tga",
            QByteArray("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\0\0\0\xff", 21));
        const QString helper = TestUtils::writeFile(in.path(), "helper.sh",
            QByteArray("#!/bin/sh\nwhile [ ! -e '") + QFile::encodeName(release)
                + "' ]; do sleep 0.02; done\nexit 3\n");
        QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("QUORVEL_DECODE_HELPER", QFile::encodeName(helper));
        good = TestUtils::writeFile(in.path(), "good.png", pngBytes());
    }

    ViewUnderTest v = makeView(kind);
    KTableListView *list = v.list;
    QCOMPARE(list->appendFiles({ broken, gate, good }).size(), 3);
    if (pdf) {
        QVERIFY(QFile::remove(gate));
        QCOMPARE(::mkfifo(QFile::encodeName(gate).constData(), 0600), 0);
    }
    v.start(out.path());
    QVERIFY(v.running());

    // The broken file fails while the gate holds the run.
    QVERIFY(TestUtils::waitUntil(
        [list] { return list->row(0)->state() == BatchResult::Failed; }, 30000));
    QVERIFY(v.running());
    QVERIFY(!list->result(0).reason.isEmpty());
    QVERIFY(list->row(0)->toolTip().contains(list->result(0).reason));
    QVERIFY(!list->addButton()->isEnabled());
    QVERIFY(!list->clearButton()->isEnabled());
    list->row(0)->button(0)->click(); // delete the failed row
    QCOMPARE(list->files(), (QStringList { gate, good }));
    // A row still at work cannot be deleted.
    list->row(0)->button(0)->click();
    list->row(0)->button(2)->click();
    QCOMPARE(list->files(), (QStringList { gate, good }));

    std::unique_ptr<GateKeeper> keeper;
    if (pdf)
        keeper = std::make_unique<GateKeeper>(gate, QByteArray("%PDF-1.4 cut short"));
    else
        TestUtils::writeFile(in.path(), "release", "go");
    QVERIFY(TestUtils::waitUntil([&v] { return !v.running(); }, 60000));

    // Each remaining row has its own record, nothing shifted from a neighbour.
    QCOMPARE(list->files(), (QStringList { gate, good }));
    QCOMPARE(list->result(0).status, BatchResult::Failed);
    QVERIFY(list->result(0).path.isEmpty() || !QFileInfo(list->result(0).path).isFile());
    QVERIFY(!list->result(0).reason.isEmpty());
    QCOMPARE(list->row(0)->state(), BatchResult::Failed);
    QCOMPARE(list->result(1).status, BatchResult::Succeeded);
    QCOMPARE(list->result(1).path, v.runFolder() + "/good" + outputSuffix);
    QVERIFY(QFileInfo(list->result(1).path).isFile());
    QCOMPARE(list->row(1)->state(), BatchResult::Succeeded);
    QVERIFY(list->addButton()->isEnabled());
    QVERIFY(list->clearButton()->isEnabled());
}

void tst_BatchViewsRun::reasonsInTooltips_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output"); // "", "RO" read-only disk, "FULL" full disk
    QTest::addColumn<QString>("reason");
    QTest::newRow("corrupt") << "corrupt.jpg"
                             << ""
                             << "not an image";
    QTest::newRow("truncated") << "truncated.jpg"
                               << ""
                               << "truncated";
    QTest::newRow("too large") << "huge.png"
                               << ""
                               << "too large: 40000 x 40000 pixels";
    QTest::newRow("password PDF") << "locked.pdf"
                                  << ""
                                  << "password";
    QTest::newRow("read-only output folder") << "photo.png"
                                             << "RO"
                                             << "read-only";
    QTest::newRow("full disk") << "noise.png"
                               << "FULL"
                               << "no space left on the device";
}

void tst_BatchViewsRun::reasonsInTooltips()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, reason);
    QTemporaryDir in, out;
    QString path = in.filePath(input);
    const QByteArray jpeg = [] {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        TestUtils::quadrantImage(64, 48).save(&buffer, "JPG");
        return bytes;
    }();
    if (input == "corrupt.jpg")
        TestUtils::writeFile(in.path(), input, "plain words");
    else if (input == "truncated.jpg")
        TestUtils::writeFile(in.path(), input, jpeg.left(jpeg.size() / 2));
    else if (input == "locked.pdf")
        QVERIFY(PdfFixtures::writePdf(path, 2, "secret"));
    else if (input == "photo.png")
        TestUtils::writeFile(in.path(), input, pngBytes());
    else if (input == "huge.png")
        TestUtils::writeFile(in.path(), input, TestUtils::pngHeaderOnly(40000, 40000));
    else {
        QImage noise(300, 300, QImage::Format_RGB32);
        quint32 seed = 7;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x)
                noise.setPixel(x, y, 0xff000000u | ((seed = seed * 1664525u + 1013904223u) >> 8));
        QVERIFY(noise.save(path));
    }

    // Output folders on a small file system of their own (root only).
    const QString parent = out.filePath("mnt");
    QDir().mkpath(parent);
    bool mounted = false;
    if (!output.isEmpty()) {
        const QString options = output == "RO" ? "size=64k,ro" : "size=64k";
        mounted = TestUtils::isRoot()
            && QProcess::execute("mount", { "-t", "tmpfs", "-o", options, "tmpfs", parent }) == 0;
        if (!mounted)
            QSKIP("a read-only or full disk needs a small tmpfs, which only root can mount");
    }
    const auto unmount = qScopeGuard([&] {
        if (mounted)
            QProcess::execute("umount", { parent });
    });

    const bool pdf = input.endsWith(".pdf");
    ViewUnderTest v = makeView(pdf ? "PDF to images" : "convert");
    if (pdf) {
        // A document that cannot be opened is not listed; one message names
        // it and says why.
        QVERIFY(v.list->appendFiles({ path }).isEmpty());
        QVERIFY2(v.list->lastRejection().contains("locked.pdf: the PDF is protected by a password"),
            qPrintable(v.list->lastRejection()));
        auto *notice = v.list->findChild<KMessageTips *>();
        QVERIFY(notice);
        QCOMPARE(notice->message(), v.list->lastRejection());
        return;
    }
    QCOMPARE(v.list->appendFiles({ path }).size(), 1);
    if (output == "RO") {
        // No run folder can be made on a read-only disk: one message.
        v.start(parent);
        QVERIFY(!v.running());
        auto *notice = v.widget->findChild<KMessageTips *>();
        QVERIFY(notice);
        QVERIFY2(notice->message().contains(reason), qPrintable(notice->message()));
        return;
    }
    v.start(parent);
    QVERIFY(TestUtils::waitUntil([&v] { return !v.running(); }, 60000));
    KTableListItem *row = v.list->row(0);
    QCOMPARE(row->state(), BatchResult::Failed);
    QVERIFY2(row->toolTip().contains(reason), qPrintable(row->toolTip()));
    QVERIFY(row->reasonText().contains(reason));
    QVERIFY(!row->reasonLineText().isEmpty());
    // Nothing partial is left in the run folder.
    QVERIFY(QDir(v.runFolder())
                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden)
                .isEmpty());
}

QTEST_MAIN(tst_BatchViewsRun)
#include "tst_BatchViewsRun.moc"

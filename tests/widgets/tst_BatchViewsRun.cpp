#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPushButton>
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
// (some engines open a file twice) it gets the bytes and then the end of
// the file. Stops and joins on destruction.
class GateKeeper
{
public:
    GateKeeper(const QString &gate, const QByteArray &bytes)
        : m_thread([this, path = QFile::encodeName(gate), bytes]() {
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
    void cleanup() { KTableListView::setPageCounter(nullptr); }
    void failedRowDeletedWhileRunning_data();
    void failedRowDeletedWhileRunning();
};

void tst_BatchViewsRun::failedRowDeletedWhileRunning_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("outputSuffix");
    for (const char *kind : { "convert", "batch compress", "resize", "rotate", "images to PDF" })
        QTest::newRow(kind) << kind << (QByteArray(kind) == "images to PDF" ? ".pdf" : ".jpg");
    QTest::newRow("PDF to images") << "PDF to images" << "-1.jpg";
}

void tst_BatchViewsRun::failedRowDeletedWhileRunning()
{
    QFETCH(QString, kind);
    QFETCH(QString, outputSuffix);
    QTemporaryDir in, out;
    const bool pdf = kind == "PDF to images";
    const QString ext = pdf ? ".pdf" : ".png";
    const QString broken = TestUtils::writeFile(in.path(), "broken" + ext, "not a picture at all");
    const QString gate = in.filePath("gate" + ext);
    QCOMPARE(::mkfifo(QFile::encodeName(gate).constData(), 0600), 0);
    QString good = in.filePath("good" + ext);
    if (pdf) {
        QVERIFY(PdfFixtures::writePdf(good, 1));
        // The list must not open the gate to count its pages.
        KTableListView::setPageCounter([](const QString &) { return 1; });
    } else {
        good = TestUtils::writeFile(in.path(), "good.png", pngBytes());
    }

    ViewUnderTest v = makeView(kind);
    KTableListView *list = v.list;
    QCOMPARE(list->appendFiles({ broken, gate, good }).size(), 3);
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

    GateKeeper keeper(gate, pdf ? QByteArray("%PDF-1.4 cut short") : QByteArray("\x89PNG cut"));
    QVERIFY(TestUtils::waitUntil([&v] { return !v.running(); }, 60000));

    // Each remaining row has its own record, nothing shifted from a neighbour.
    QCOMPARE(list->files(), (QStringList { gate, good }));
    QCOMPARE(list->result(0).status, BatchResult::Failed);
    QVERIFY(list->result(0).path.isEmpty() || !QFileInfo(list->result(0).path).isFile());
    QVERIFY(!list->result(0).reason.isEmpty());
    QCOMPARE(list->row(0)->state(), int(BatchResult::Failed));
    QCOMPARE(list->result(1).status, BatchResult::Succeeded);
    QCOMPARE(list->result(1).path, v.runFolder() + "/good" + outputSuffix);
    QVERIFY(QFileInfo(list->result(1).path).isFile());
    QCOMPARE(list->row(1)->state(), int(BatchResult::Succeeded));
    QVERIFY(list->addButton()->isEnabled());
    QVERIFY(list->clearButton()->isEnabled());
}

QTEST_MAIN(tst_BatchViewsRun)
#include "tst_BatchViewsRun.moc"

#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "app/LargePages.h"
#include "codec/DecodeHelper.h"
#include "codec/KImageFreeImageDecoder.h"
#include "codec/KImageWrapper.h"
#include "codec/helper/HelperSandbox.h"

namespace {

QString crashFixture()
{
    return TestUtils::dataDir()
        + QStringLiteral("/codec/ico-negative-height-named-tga-overflowed-freeimage-loads.tga");
}

// A stand-in for quorvel-decode: a shell script doing what the test needs.
QString script(const QString &dir, const QString &name, const QByteArray &body)
{
    const QString path = TestUtils::writeFile(dir, name, "#!/bin/sh\n" + body + "\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// Runs body in a child process under the helper's limits; returns the
// child's wait status.
template <typename Body> int inSandbox(int cpuSeconds, Body body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (!HelperSandbox::enter(qint64(8) << 30, cpuSeconds))
            _exit(100);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

} // namespace

class tst_DecodeHelper : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void crashFileFailsAloneUnderEveryName_data();
    void crashFileFailsAloneUnderEveryName();
    void realCrashStaysInTheHelper();
    void helperGetsLargePages();
    void iconUnderAnotherNameGoesToTheToolkit();
    void helperFailuresBecomeReasons_data();
    void helperFailuresBecomeReasons();
    void sandboxRefusesWritesAndNetwork();
    void sandboxStopsARunaway();

private:
    QTemporaryDir m_dir;
};

void tst_DecodeHelper::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Before any helper is started: the helpers' environment is the
    // program's as it started.
    qputenv("QUORVEL_TEST_MARK", "kept");
    QVERIFY2(!DecodeHelper::helperPath().isEmpty(), "quorvel-decode is not built");
    QVERIFY(QFileInfo(crashFixture()).size() == 336);
}

void tst_DecodeHelper::crashFileFailsAloneUnderEveryName_data()
{
    QTest::addColumn<QString>("suffix");
    for (const char *suffix : { "tga", "psd", "dng", "cr2", "nef", "hdr", "dds", "ico" })
        QTest::newRow(suffix) << QString::fromLatin1(suffix);
}

// ICO bytes whose header gives a negative height: FreeImage's ICO plug-in
// writes past its buffer (the process used to abort). Under any name the
// icon goes to the toolkit's reader, which reads it, and the process goes on.
void tst_DecodeHelper::crashFileFailsAloneUnderEveryName()
{
    QFETCH(QString, suffix);
    const QString path = m_dir.filePath(QStringLiteral("icon.") + suffix);
    QFile::remove(path);
    QVERIFY(QFile::copy(crashFixture(), path));
    KImageWrapper wrapper;
    QVERIFY2(wrapper.load(path), qPrintable(wrapper.errorString()));
    QCOMPARE(wrapper.frameAt(0).size(), QSize(1, 1));
}

// The same bytes handed to FreeImage's ICO plug-in on purpose: it crashes,
// in the helper, and the caller gets a reason instead of a dead process.
void tst_DecodeHelper::realCrashStaysInTheHelper()
{
    const QString path = m_dir.filePath(QStringLiteral("direct.ico"));
    QVERIFY(QFile::copy(crashFixture(), path));
    QImage image;
    QString error;
    const bool decoded = DecodeHelper::decode(path, &image, &error);
    // Under the sanitizers the allocator lays the plug-in's buffer out
    // differently and the overrun goes unnoticed; the stand-ins of
    // helperFailuresBecomeReasons cover that build.
    if (decoded && qEnvironmentVariableIsSet("ASAN_OPTIONS"))
        QSKIP("FreeImage does not crash on this file in the sanitizer build");
    QVERIFY(!decoded);
    QVERIFY2(error.contains(QLatin1String("crashed")), qPrintable(error));
    QVERIFY(TestUtils::quadrantImage(8, 8).save(m_dir.filePath(QStringLiteral("good.png"))));
    KImageWrapper next;
    QVERIFY(next.load(m_dir.filePath(QStringLiteral("good.png"))));
}

void tst_DecodeHelper::iconUnderAnotherNameGoesToTheToolkit()
{
    const QString path = m_dir.filePath(QStringLiteral("real-icon.tga"));
    QVERIFY(TestUtils::quadrantImage(16, 16).save(path, "ico"));
    KImageWrapper wrapper;
    QVERIFY2(wrapper.load(path), qPrintable(wrapper.errorString()));
    QVERIFY(dynamic_cast<KImageFreeImageDecoder *>(wrapper.decoder()));
    QCOMPARE(wrapper.frameAt(0).size(), QSize(16, 16));
    QCOMPARE(wrapper.frameAt(0).format(), QImage::Format_ARGB32);
}

void tst_DecodeHelper::helperFailuresBecomeReasons_data()
{
    QTest::addColumn<QByteArray>("body"); // empty: no helper at all
    QTest::addColumn<QString>("reason");
    QTest::newRow("crash") << QByteArray("kill -SEGV $$") << "crashed";
    QTest::newRow("abort") << QByteArray("kill -ABRT $$") << "crashed";
    QTest::newRow("processor time used up") << QByteArray("kill -XCPU $$") << "took too long";
    QTest::newRow("out of memory") << QByteArray("exit 3") << "ran out of memory";
    QTest::newRow("garbage answer") << QByteArray("echo nonsense; exit 0") << "without a picture";
    QTest::newRow("other failure") << QByteArray("exit 9") << "exit code 9";
    QTest::newRow("missing helper") << QByteArray() << "missing";
}

void tst_DecodeHelper::helperFailuresBecomeReasons()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, reason);
    const QString picture = m_dir.filePath(QStringLiteral("any.tga"));
    QVERIFY(TestUtils::writeFile(m_dir.path(), QStringLiteral("any.tga"), "x").size() > 0);
    const QString helper = body.isEmpty()
        ? QString()
        : script(
            m_dir.path(), QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'), body);
    QImage image;
    QString error;
    QVERIFY(!DecodeHelper::decodeWith(helper, picture, &image, &error));
    QVERIFY(image.isNull());
    QVERIFY2(error.contains(reason), qPrintable(error));
}

// LibRaw's pictures are the helper's big blocks: it is started with the
// allocator's large-page setting, beside the rest of the environment.
void tst_DecodeHelper::helperGetsLargePages()
{
    const QString record = m_dir.filePath(QStringLiteral("helper-environment.txt"));
    const QString helper = script(m_dir.path(), QStringLiteral("environment-helper"),
        "env > '" + QFile::encodeName(record) + "'; exit 9");
    QVERIFY(TestUtils::writeFile(m_dir.path(), QStringLiteral("any.tga"), "x").size() > 0);
    QImage image;
    QString error;
    QVERIFY(!DecodeHelper::decodeWith(
        helper, m_dir.filePath(QStringLiteral("any.tga")), &image, &error));
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.contains("QUORVEL_TEST_MARK=kept"));
    if (!LargePages::askingHelps())
        QSKIP("this system gives large pages to all memory or to none, or the allocator is a "
              "sanitizer's");
    const auto tunables = std::find_if(lines.cbegin(), lines.cend(),
        [](const QByteArray &line) { return line.startsWith("GLIBC_TUNABLES="); });
    QVERIFY(tunables != lines.cend());
    QVERIFY2(tunables->split(':').last().endsWith("glibc.malloc.hugetlb=1")
            || tunables->contains("glibc.malloc.hugetlb=1:"),
        tunables->constData());
}

void tst_DecodeHelper::sandboxRefusesWritesAndNetwork()
{
    const QByteArray existing = QFile::encodeName(m_dir.filePath(QStringLiteral("kept.txt")));
    const QByteArray created = QFile::encodeName(m_dir.filePath(QStringLiteral("new.txt")));
    QVERIFY(TestUtils::writeFile(m_dir.path(), QStringLiteral("kept.txt"), "kept").size() > 0);
    const int status = inSandbox(10, [existing, created]() {
        int failures = 0;
        const int readable = ::open(existing.constData(), O_RDONLY);
        failures |= readable >= 0 ? 0 : 1;
        failures |= ::open(created.constData(), O_WRONLY | O_CREAT, 0644) < 0 ? 0 : 2;
        failures |= ::open(existing.constData(), O_RDWR) < 0 ? 0 : 4;
        failures |= ::unlink(existing.constData()) != 0 ? 0 : 8;
        failures |= ::socket(AF_INET, SOCK_STREAM, 0) < 0 ? 0 : 16;
        failures |= ::fork() < 0 ? 0 : 32;
        return failures;
    });
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QVERIFY(QFileInfo::exists(QFile::decodeName(existing)));
    QVERIFY(!QFileInfo::exists(QFile::decodeName(created)));
}

void tst_DecodeHelper::sandboxStopsARunaway()
{
    QElapsedTimer timer;
    timer.start();
    const int status = inSandbox(1, []() {
        volatile unsigned long spin = 0;
        for (;;)
            ++spin;
        return 0;
    });
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(WTERMSIG(status), SIGXCPU);
    QVERIFY(timer.elapsed() < 30000);
}

QTEST_MAIN(tst_DecodeHelper)
#include "tst_DecodeHelper.moc"

#include <csignal>

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "online/BundledService.h"
#include "online/KvHttp.h"
#include "online/ServiceEndpoint.h"

namespace {

// A stand-in service: a shell script that behaves as told.
QString script(const QString &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write("#!/bin/sh\n" + body + '\n');
    f.close();
    f.setPermissions(f.permissions() | QFile::ExeOwner);
    return path;
}

// Gone, or a zombie nobody has reaped yet.
bool processGone(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = status.readAll();
    return text.contains("State:\tZ") || text.contains("State:\tX");
}

} // namespace

class tst_BundledService : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void startsAndReportsTheAddress();
    void failuresAreReportedQuickly_data();
    void failuresAreReportedQuickly();
    void onlineActionFailsNormallyWithoutService();
    void serviceStopsWhenTheProgramIsKilled();
    void missingBundledServiceFailsJobsNormally();

private:
    QTemporaryDir m_dir;
};

void tst_BundledService::initTestCase() { QVERIFY(m_dir.isValid()); }

void tst_BundledService::startsAndReportsTheAddress()
{
    // The arguments reach the program; it answers with its address.
    const QString program = script(m_dir.path(), QStringLiteral("ok-service"),
        "echo \"$@\" > \"$4/args\"\necho 'listening on http://127.0.0.1:5871'\nexec sleep 30");
    const QString data = m_dir.path() + QStringLiteral("/data/quorvel/service");
    qint64 pid = 0;
    {
        BundledService service;
        QCOMPARE(
            service.ensureRunning(program, data, 5000), QStringLiteral("http://127.0.0.1:5871"));
        pid = service.processId();
        QVERIFY(pid > 0);
        // Asked again, the running service is reused.
        QCOMPARE(
            service.ensureRunning(program, data, 5000), QStringLiteral("http://127.0.0.1:5871"));
        QCOMPARE(service.processId(), pid);
        QFile args(data + QStringLiteral("/args"));
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(args.readAll().trimmed(),
            QStringLiteral("--listen 127.0.0.1:0 --data %1 --parent-pid %2")
                .arg(data)
                .arg(QCoreApplication::applicationPid())
                .toUtf8());
    }
    // Stopped with its owner.
    QVERIFY(TestUtils::waitUntil([pid] { return processGone(pid); }, 5000));
}

void tst_BundledService::failuresAreReportedQuickly_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing program") << QByteArray() << "missing or not executable";
    QTest::newRow("exits at once") << QByteArray("echo 'cannot open database' >&2\nexit 3")
                                   << "exited with code 3 (cannot open database)";
    QTest::newRow("says something else")
        << QByteArray("echo 'hello'\nexec sleep 30") << "unexpected first line: hello";
    QTest::newRow("silent") << QByteArray("exec sleep 30") << "did not report its address";
}

void tst_BundledService::failuresAreReportedQuickly()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, reason);
    const QString program = body.isEmpty()
        ? m_dir.path() + QStringLiteral("/no-such-service")
        : script(
            m_dir.path(), QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'), body);
    BundledService service;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(service.ensureRunning(program, m_dir.path() + QStringLiteral("/d"), 1500), QString());
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY2(service.errorString().contains(reason), qPrintable(service.errorString()));
}

void tst_BundledService::onlineActionFailsNormallyWithoutService()
{
    // No address at all: the job fails through its error signal, soon.
    KvHttp client(0);
    client.setBaseUrl(QStringLiteral("http://127.0.0.1:1"));
    QSignalSpy error(&client, &KvHttp::progressError);
    UploadFile file;
    file.name = QStringLiteral("a.png");
    file.suffix = QStringLiteral("png");
    file.data = "x";
    file.size = 1;
    client.startJob({ file });
    QVERIFY(error.wait(5000));
    QCOMPARE(error.count(), 1);
}

void tst_BundledService::serviceStopsWhenTheProgramIsKilled()
{
    // A child copy of this test starts the stand-in service, prints its pid and
    // waits to be killed; the service must not outlive it.
    const QString program = script(m_dir.path(), QStringLiteral("long-service"),
        "echo 'listening on http://127.0.0.1:5872'\nexec sleep 60");
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({ QStringLiteral("-child-start"), program });
    child.start();
    QVERIFY(child.waitForStarted());
    QByteArray out;
    QVERIFY(TestUtils::waitUntil(
        [&] {
            out += child.readAllStandardOutput();
            return out.contains('\n');
        },
        10000));
    const qint64 pid = out.trimmed().toLongLong();
    QVERIFY2(pid > 0, out.constData());
    QVERIFY(!processGone(pid));
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(5000));
    QVERIFY(TestUtils::waitUntil([pid] { return processGone(pid); }, 5000));
}

void tst_BundledService::missingBundledServiceFailsJobsNormally()
{
    // No address configured and no quorvel-service beside this executable: the
    // job ends with its error signal instead of waiting.
    qunsetenv("QUORVEL_SERVICE_URL");
    qputenv("XDG_DATA_HOME", m_dir.path().toUtf8());
    QVERIFY(!QFileInfo::exists(QCoreApplication::applicationDirPath() + "/quorvel-service"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(ServiceEndpoint::baseUrl(), QString());
    KvHttp client(0);
    QSignalSpy error(&client, &KvHttp::progressError);
    client.startJob({ UploadFile { "a.png", "png", "x", 1 } });
    QVERIFY(error.wait(5000));
    QCOMPARE(error.count(), 1);
    QVERIFY(clock.elapsed() < 5000);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "-child-start") == 0) {
        BundledService service;
        if (service
                .ensureRunning(QString::fromLocal8Bit(argv[2]),
                    QDir::tempPath() + QStringLiteral("/qv-bundled-child"), 5000)
                .isEmpty())
            return 1;
        std::printf("%lld\n", service.processId());
        std::fflush(stdout);
        QThread::sleep(60);
        return 0;
    }
    tst_BundledService test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_BundledService.moc"

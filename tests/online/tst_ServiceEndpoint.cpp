// The bundled service as the program starts it: found beside the executable,
// data under the XDG data folder, gone when the program ends or is killed.
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "online/ServiceEndpoint.h"

namespace {

int httpStatus(const QString &url)
{
    QNetworkAccessManager net;
    QNetworkReply *reply = net.get(QNetworkRequest(QUrl(url)));
    QSignalSpy done(reply, &QNetworkReply::finished);
    done.wait(5000);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    delete reply;
    return status;
}

bool portAnswers(const QUrl &url)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(url.port()));
    return socket.waitForConnected(1000);
}

} // namespace

class tst_ServiceEndpoint : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void startsBesideTheProgramWithDataUnderXdg();
    void stoppedWhenTheProgramEnds_data();
    void stoppedWhenTheProgramEnds();

private:
    QTemporaryDir m_home;
};

void tst_ServiceEndpoint::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_DATA_HOME", m_home.path().toUtf8());
    qunsetenv("QUORVEL_SERVICE_URL");
}

void tst_ServiceEndpoint::startsBesideTheProgramWithDataUnderXdg()
{
    const QString url = ServiceEndpoint::baseUrl();
    QVERIFY(
        QRegularExpression(QStringLiteral("^http://127\\.0\\.0\\.1:\\d+$")).match(url).hasMatch());
    QCOMPARE(ServiceEndpoint::baseUrl(), url);
    QCOMPARE(httpStatus(url + QStringLiteral("/healthz")), 200);
    QCOMPARE(ServiceEndpoint::bundledDataDir(), m_home.path() + QStringLiteral("/quorvel/service"));
    QVERIFY(QFileInfo::exists(ServiceEndpoint::bundledDataDir() + QStringLiteral("/service.db")));
}

void tst_ServiceEndpoint::stoppedWhenTheProgramEnds_data()
{
    QTest::addColumn<bool>("kill");
    QTest::newRow("normal exit") << false;
    QTest::newRow("killed") << true;
}

void tst_ServiceEndpoint::stoppedWhenTheProgramEnds()
{
    QFETCH(bool, kill);
    // A child copy of this test plays the program: it starts the service,
    // prints the address, then exits or waits to be killed.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"),
        m_home.path() + QLatin1Char('/') + QString::fromLatin1(QTest::currentDataTag()));
    child.setProcessEnvironment(env);
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments(
        { QStringLiteral("-child"), kill ? QStringLiteral("wait") : QStringLiteral("exit") });
    child.start();
    QVERIFY(child.waitForStarted());
    QByteArray out;
    QVERIFY(TestUtils::waitUntil(
        [&] {
            out += child.readAllStandardOutput();
            return out.contains('\n');
        },
        30000));
    const QUrl url(QString::fromUtf8(out.trimmed()));
    QVERIFY2(url.port() > 0, out.constData());
    if (kill) {
        QVERIFY(portAnswers(url));
        child.kill();
    }
    QVERIFY(child.waitForFinished(10000));
    QVERIFY(TestUtils::waitUntil([&] { return !portAnswers(url); }, 10000));
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "-child") == 0) {
        QCoreApplication app(argc, argv);
        const QString url = ServiceEndpoint::baseUrl();
        std::printf("%s\n", qPrintable(url));
        std::fflush(stdout);
        if (qstrcmp(argv[2], "wait") == 0)
            QThread::sleep(60);
        return url.isEmpty() ? 1 : 0;
    }
    QCoreApplication app(argc, argv);
    tst_ServiceEndpoint test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ServiceEndpoint.moc"

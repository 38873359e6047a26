// The client, the account manager and feedback against the real quorvel-service
// on a free loopback port.
#include <sqlite3.h>

#include <QFont>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "ServiceSignIn.h"
#include "TestUtils.h"
#include "account/KAccoutManager.h"
#include "app/PSettings.h"
#include "online/BundledService.h"
#include "online/KvHttp.h"

namespace {

UploadFile renderedSentence(const QString &text)
{
    QImage image(1400, 140, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(44);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect().adjusted(30, 0, -30, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
    painter.end();
    UploadFile file;
    QBuffer buffer(&file.data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    file.name = QStringLiteral("sentence.png");
    file.suffix = QStringLiteral("png");
    file.size = file.data.size();
    return file;
}

QString normalised(const QString &text) { return text.toLower().simplified(); }

} // namespace

class tst_ServiceEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void textJobReturnsTheRenderedSentence();
    void contrastJobReturnsAnImageOfTheSameSize();
    void accountLogsInRestoresAndLogsOut();
    void unknownUserStaysLoggedOut();
    void feedbackArrivesInTheDatabase();

private:
    // Signs in on the service's own pages as a browser would; returns the
    // login result JSON that the callback page hands to the program.
    QString signIn(const QString &name);

    QTemporaryDir m_data;
    BundledService m_service;
    QString m_url;
};

void tst_ServiceEndToEnd::initTestCase()
{
    QVERIFY(m_data.isValid());
    m_url = m_service.ensureRunning(QStringLiteral(QUORVEL_SERVICE_EXE), m_data.path(), 30000);
    QVERIFY2(!m_url.isEmpty(), qPrintable(m_service.errorString()));
}

void tst_ServiceEndToEnd::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "quorvel", "quorvel").clear();
}

void tst_ServiceEndToEnd::textJobReturnsTheRenderedSentence()
{
    KvHttp client(0);
    client.setBaseUrl(m_url);
    QSignalSpy success(&client, &KvHttp::downloadSuccess);
    QSignalSpy error(&client, &KvHttp::progressError);
    QSignalSpy finished(&client, &KvHttp::processFinished);
    client.startJob(
        { renderedSentence(QStringLiteral("The quick brown fox jumps over the lazy dog")) });
    QVERIFY(TestUtils::waitUntil(
        [&] { return success.count() + error.count() + finished.count() > 0; }, 90000));
    QCOMPARE(error.count(), 0);
    QCOMPARE(success.count(), 1);
    const QString text = normalised(QString::fromUtf8(client.resultData()));
    QVERIFY2(
        text.contains(QStringLiteral("quick brown fox jumps over the lazy dog")), qPrintable(text));
}

void tst_ServiceEndToEnd::contrastJobReturnsAnImageOfTheSameSize()
{
    KvHttp client(5);
    client.setBaseUrl(m_url);
    QSignalSpy success(&client, &KvHttp::downloadSuccess);
    QSignalSpy error(&client, &KvHttp::progressError);
    client.startJob({ renderedSentence(QStringLiteral("low contrast")) });
    QVERIFY(TestUtils::waitUntil([&] { return success.count() + error.count() > 0; }, 90000));
    QCOMPARE(error.count(), 0);
    const QImage result = QImage::fromData(client.resultData());
    QVERIFY(!result.isNull());
    QCOMPARE(result.size(), QSize(1400, 140));
}

QString tst_ServiceEndToEnd::signIn(const QString &name) { return signInOnService(m_url, name); }

void tst_ServiceEndToEnd::accountLogsInRestoresAndLogsOut()
{
    const QString loginResult = signIn(QStringLiteral("Ada"));
    const QJsonObject user = QJsonDocument::fromJson(loginResult.toUtf8()).object();
    QVERIFY2(!user.value("userid").toString().isEmpty(), qPrintable(loginResult));
    const QString userId = user.value("userid").toString();

    {
        KAccoutManager manager;
        manager.client()->setBaseUrl(m_url);
        QSignalSpy logined(&manager, &KAccoutManager::logined);
        QSignalSpy avatar(&manager, &KAccoutManager::avatarChanged);
        manager.onLoginResult(loginResult);
        QVERIFY(logined.wait(15000));
        QVERIFY(manager.isLoggedIn());
        QCOMPARE(manager.userId(), userId);
        QCOMPARE(manager.displayName(), QStringLiteral("Ada"));
        QCOMPARE(PSettings().userId(), userId);
        QVERIFY(avatar.count() > 0 || avatar.wait(15000));
        QVERIFY(!manager.avatar().isNull());
        QVERIFY(manager.avatar().size() != QSize(46, 46));
    }

    // The next start logs the same user in again; logout keeps the identifier.
    KAccoutManager next;
    next.client()->setBaseUrl(m_url);
    QSignalSpy logined(&next, &KAccoutManager::logined);
    next.restoreLogin();
    QVERIFY(logined.wait(15000));
    QCOMPARE(next.userId(), userId);
    QCOMPARE(next.displayName(), QStringLiteral("Ada"));
    QSignalSpy out(&next, &KAccoutManager::logouted);
    next.logout();
    QVERIFY(!next.isLoggedIn());
    QVERIFY(out.wait(2000));
    QCOMPARE(next.userId(), userId);
    QCOMPARE(PSettings().userId(), userId);
}

void tst_ServiceEndToEnd::unknownUserStaysLoggedOut()
{
    KAccoutManager manager;
    manager.client()->setBaseUrl(m_url);
    QSignalSpy logined(&manager, &KAccoutManager::logined);
    manager.onLoginResult(
        QStringLiteral(R"({"nickname":"nobody","userid":"0123456789abcdef0123456789abcdef"})"));
    QTest::qWait(1500);
    QCOMPARE(logined.count(), 0);
    QVERIFY(!manager.isLoggedIn());
}

void tst_ServiceEndToEnd::feedbackArrivesInTheDatabase()
{
    const QString content
        = QStringLiteral("Batch resize is great, 很好 %1").arg(QDateTime::currentMSecsSinceEpoch());
    KAccoutManager manager;
    manager.client()->setBaseUrl(m_url);
    manager.sendFeedback(content, QStringLiteral("ada@example.org"));

    const QByteArray path = (m_data.path() + QStringLiteral("/service.db")).toUtf8();
    QByteArray contact;
    const bool stored = TestUtils::waitUntil(
        [&] {
            sqlite3 *db = nullptr;
            if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr)
                != SQLITE_OK) {
                sqlite3_close(db);
                return false;
            }
            sqlite3_stmt *stmt = nullptr;
            bool found = false;
            if (sqlite3_prepare_v2(
                    db, "SELECT contact FROM feedback WHERE content = ?", -1, &stmt, nullptr)
                == SQLITE_OK) {
                const QByteArray utf8 = content.toUtf8();
                sqlite3_bind_text(stmt, 1, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
                if (sqlite3_step(stmt) == SQLITE_ROW) {
                    found = true;
                    contact = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
                }
            }
            sqlite3_finalize(stmt);
            sqlite3_close(db);
            return found;
        },
        15000);
    QVERIFY(stored);
    QCOMPARE(contact, QByteArray("ada@example.org"));
}

QTEST_MAIN(tst_ServiceEndToEnd)
#include "tst_ServiceEndToEnd.moc"

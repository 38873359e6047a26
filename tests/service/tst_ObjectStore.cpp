// The object store: which keys may become paths, presigned URLs, expiry.

#include <filesystem>

#include <utime.h>

#include <QTemporaryDir>
#include <QtTest>

#include "ObjectStore.h"

using namespace quorvel::service;

class tst_ObjectStore : public QObject
{
    Q_OBJECT

private slots:
    void objectKeys_data();
    void objectKeys();
    void presignedUrls();
    void sweepKeepsFreshObjects();
};

void tst_ObjectStore::objectKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("upload");
    QTest::addColumn<bool>("result");
    const QString md5 = QStringLiteral("0123456789abcdef0123456789abcdef");
    const QString uuid = QStringLiteral("{3f2504e0-4f89-41d3-9a0c-0305e82c3301}");
    const QString good
        = QStringLiteral("ocr/") + md5 + uuid + QStringLiteral("1796777402/3f2504.png");
    QTest::newRow("client key") << good << true << false;
    QTest::newRow("ai client key, upper-case suffix")
        << QStringLiteral("ai/") + md5 + uuid + QStringLiteral("1796777402/3f2504.JPG") << true
        << false;
    QTest::newRow("other category")
        << QString(good).replace(0, 3, QStringLiteral("doc")) << false << false;
    QTest::newRow("six digits of another uuid") << QString(good).replace(QStringLiteral("/3f2504."),
        QStringLiteral("/3f2505.")) << false << false;
    QTest::newRow("upper-case md5") << QString(good).replace(md5, md5.toUpper()) << false << false;
    QTest::newRow("parent folder") << QStringLiteral("ocr/../url-secret") << false << false;
    QTest::newRow("absolute path") << QStringLiteral("/etc/passwd") << false << false;
    QTest::newRow("extra segment")
        << QString(good).replace(QStringLiteral("/3f2504."), QStringLiteral("/x/3f2504.")) << false
        << false;
    QTest::newRow("dots as suffix")
        << QString(good).replace(QStringLiteral(".png"), QStringLiteral("./..")) << false << false;
    QTest::newRow("result key") << QStringLiteral("ai/results/") + md5
            + QStringLiteral("/result.png")
                                << false << true;
    QTest::newRow("preview key") << QStringLiteral("ocr/results/") + md5
            + QStringLiteral("/preview.png")
                                 << false << true;
    QTest::newRow("result key of another name")
        << QStringLiteral("ocr/results/") + md5 + QStringLiteral("/secret.png") << false << false;
    QTest::newRow("empty") << QString() << false << false;
}

void tst_ObjectStore::objectKeys()
{
    QFETCH(QString, key);
    QFETCH(bool, upload);
    QFETCH(bool, result);
    QCOMPARE(ObjectStore::isUploadKey(key.toStdString()), upload);
    QCOMPARE(ObjectStore::isResultKey(key.toStdString()), result);
    ObjectStore store;
    QTemporaryDir dir;
    std::string error;
    QVERIFY(store.open(dir.path().toStdString(), error));
    QCOMPARE(store.pathFor(key.toStdString()).empty(), !upload && !result);
}

void tst_ObjectStore::presignedUrls()
{
    QTemporaryDir dir;
    ObjectStore store;
    std::string error;
    QVERIFY(store.open(dir.path().toStdString(), error));
    const std::string key = "ai/results/0123456789abcdef0123456789abcdef/result.png";
    const std::string target = store.presignedTarget("download", key, 2000);
    const std::string signature = target.substr(target.rfind('=') + 1);
    QVERIFY(store.checkPresigned("download", key, "2000", signature, 1999)
        == ObjectStore::UrlCheck::Ok);
    QVERIFY(store.checkPresigned("download", key, "2000", signature, 2001)
        == ObjectStore::UrlCheck::Expired);
    QVERIFY(store.checkPresigned("upload", key, "2000", signature, 1999)
        == ObjectStore::UrlCheck::BadSignature);
    QVERIFY(store.checkPresigned("download", key, "2001", signature, 1999)
        == ObjectStore::UrlCheck::BadSignature);
    QVERIFY(store.checkPresigned("download", key + "x", "2000", signature, 1999)
        == ObjectStore::UrlCheck::BadSignature);
    // A second store on the same folder keeps the installation's secret.
    ObjectStore reopened;
    QVERIFY(reopened.open(dir.path().toStdString(), error));
    QVERIFY(reopened.checkPresigned("download", key, "2000", signature, 1999)
        == ObjectStore::UrlCheck::Ok);
    QCOMPARE(QFile::permissions(dir.filePath(QStringLiteral("url-secret")))
            & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
        QFileDevice::Permissions());
}

void tst_ObjectStore::sweepKeepsFreshObjects()
{
    QTemporaryDir dir;
    ObjectStore store;
    std::string error;
    QVERIFY(store.open(dir.path().toStdString(), error));
    const std::string old = "ocr/results/00000000000000000000000000000000/result.txt";
    const std::string fresh = "ocr/results/11111111111111111111111111111111/result.txt";
    QVERIFY(store.put(old, "old", error));
    QVERIFY(store.put(fresh, "fresh", error));
    QVERIFY(!store.put(fresh, "replacement", error)); // never replaced
    std::string bytes;
    QVERIFY(store.read(fresh, bytes));
    QCOMPARE(bytes, std::string("fresh"));
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    struct utimbuf times
    {
        time_t(now - 25 * 3600), time_t(now - 25 * 3600)
    };
    QCOMPARE(::utime(store.pathFor(old).c_str(), &times), 0);
    QCOMPARE(store.sweep(24 * 3600, now), 1);
    QVERIFY(!store.exists(old));
    QVERIFY(store.exists(fresh));
    QVERIFY(!std::filesystem::exists(std::filesystem::path(store.pathFor(old)).parent_path()));
}

QTEST_GUILESS_MAIN(tst_ObjectStore)
#include "tst_ObjectStore.moc"

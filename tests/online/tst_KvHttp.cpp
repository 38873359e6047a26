#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include "FakeService.h"
#include "TestUtils.h"
#include "online/KvHttp.h"
#include "online/KvHttpUploadOss.h"
#include "online/RequestSigning.h"
#include "online/ServiceTypes.h"

namespace {

const QString kServiceKey = QStringLiteral("ljxh4fzv1pou7s0ofb61qlt2odw7h5fr");
const QString kServiceSecret = QStringLiteral("ffjnywf33f4n5pa6t3ikxgc7peynwsu8");
const QString kAccountKey = QStringLiteral("yi2b8w8rvfudzi3qic0tj8y8ug6dr69p");
const QString kAccountSecret = QStringLiteral("3bjcrzan0pxluykvcwe0qm4m55vngk29");

UploadFile sampleFile(const QByteArray &data = QByteArray("a picture of some text"))
{
    UploadFile f;
    f.name = QStringLiteral("scan.page.png");
    f.suffix = QStringLiteral("png");
    f.data = data;
    f.size = data.size();
    return f;
}

QJsonObject jsonBody(const FakeService::Request &r)
{
    return QJsonDocument::fromJson(r.body).object();
}

// What the scripted service answers for one job.
struct Script
{
    QList<QByteArray> queryReplies { R"({"status":"success","result":{"key":"ocr/result.txt"}})" };
    int createStatus = 200;
    QByteArray createBody = R"({"data":{"jobid":"job-7"}})";
    QByteArray uploadUrlBody; // empty: a presigned URL on this server
    QMap<QByteArray, QByteArray> objects { { "ocr/result.txt", "recognised text" } };
};

} // namespace

class tst_KvHttp : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanupTestCase();

    void signedText_data();
    void signedText();
    void dateIsEnglishWhateverTheLocale_data();
    void dateIsEnglishWhateverTheLocale();
    void signatureIs56Base64CharactersOfHexHmac();
    void headersOnTheWireCarryAValidSignature();
    void typeTableAndUnknownType();
    void objectKeyHasTheUuidTwice();

    void fullTextJob();
    void createJobBodyPerType_data();
    void createJobBodyPerType();
    void failedReply_data();
    void failedReply();
    void tableJobWithPreviewDownloadsTwoObjectsAndSignalsOnce();
    void tableJobWithoutPreviewDownloadsResultOnly();
    void errorsEndTheJobOnce_data();
    void errorsEndTheJobOnce();
    void uploadUrlWithoutUrlFailsThePut();
    void unreachableServiceIsToldApart_data();
    void unreachableServiceIsToldApart();
    void noCancelRequestWhileUploading();
    void cancelWhilePollingSendsSignedDelete();
    void nextJobRunsAfterATimeout();
    void lateReplyOfACancelledJobIsIgnored();
    void overlappingPollsDownloadOnce();
    void userInfoGivesUpAfterItsTimeout();

private:
    FakeService::Response answer(const FakeService::Request &r);
    KvHttp *newClient(int type);

    FakeService *m_service = nullptr;
    Script m_script;
    int m_queryCount = 0;
    QList<KvHttp *> m_clients;
};

void tst_KvHttp::init()
{
    qDeleteAll(m_clients);
    m_clients.clear();
    delete m_service;
    m_service = new FakeService(this);
    QVERIFY(m_service->listen());
    m_script = Script();
    m_queryCount = 0;
    m_service->setHandler([this](const FakeService::Request &r) { return answer(r); });
}

void tst_KvHttp::cleanupTestCase()
{
    qDeleteAll(m_clients);
    m_clients.clear();
}

KvHttp *tst_KvHttp::newClient(int type)
{
    auto *client = new KvHttp(type);
    client->setBaseUrl(m_service->baseUrl());
    client->setPollInterval(30);
    m_clients << client;
    return client;
}

FakeService::Response tst_KvHttp::answer(const FakeService::Request &r)
{
    const QByteArray path = r.path();
    const QByteArray base = m_service->baseUrl().toUtf8();
    if (path == "/api/v1/object/uploadurl") {
        if (!m_script.uploadUrlBody.isEmpty())
            return FakeService::json(m_script.uploadUrlBody);
        const QByteArray key = jsonBody(r).value("key").toString().toUtf8();
        return FakeService::json(
            R"({"data":{"url":")" + base + "/store/" + key.toPercentEncoding("/") + R"("}})");
    }
    if (path.startsWith("/store/"))
        return FakeService::json("", r.method == "PUT" ? 200 : 404);
    if (path == "/api/v1/ocr/images" || path == "/api/v1/ai/images")
        return FakeService::json(m_script.createBody, m_script.createStatus);
    if (path == "/api/v1/ocr/query" || path == "/api/v1/ai/query") {
        const int i = qMin(m_queryCount++, m_script.queryReplies.size() - 1);
        return FakeService::json(m_script.queryReplies.at(i));
    }
    if (path == "/api/v1/object/downloadurl") {
        const QByteArray key = jsonBody(r).value("key").toString().toUtf8();
        return FakeService::json(R"({"data":{"url":")" + base + "/objects/" + key + R"("}})");
    }
    if (path.startsWith("/objects/")) {
        const QByteArray key = path.mid(int(strlen("/objects/")));
        if (!m_script.objects.contains(key))
            return FakeService::json("{}", 404);
        FakeService::Response resp = FakeService::json(m_script.objects.value(key));
        resp.contentType = "application/octet-stream";
        return resp;
    }
    if (path.startsWith("/api/v1/cancel/") || path == "/api/v1/feedback")
        return FakeService::json(R"({"code":0})");
    return FakeService::json("{}", 404);
}

void tst_KvHttp::signedText_data()
{
    QTest::addColumn<QString>("sessionId");
    QTest::addColumn<QString>("expected");
    QTest::newRow("job session") << "demo-sid"
                                 << "POST\napplication/json\nWed,09 Dec 2026 00:50:02 GMT\n"
                                    "/api/v1/ocr/query\nkey\npc-lumistrand\ndemo-sid";
    QTest::newRow("no session") << ""
                                << "POST\napplication/json\nWed,09 Dec 2026 00:50:02 GMT\n"
                                   "/api/v1/ocr/query\nkey\npc-lumistrand\n";
}

void tst_KvHttp::signedText()
{
    QFETCH(QString, sessionId);
    QFETCH(QString, expected);
    // Callers pass the method in lower case and may pass a mixed-case type.
    const QString text
        = RequestSigning::stringToSign(QStringLiteral("post"), QStringLiteral("Application/JSON"),
            QStringLiteral("Wed,09 Dec 2026 00:50:02 GMT"), QStringLiteral("/api/v1/ocr/query"),
            QStringLiteral("key"), QStringLiteral("PC-Lumistrand"), sessionId);
    QCOMPARE(text, expected);
    QCOMPARE(text.count(QLatin1Char('\n')), 6);
}

void tst_KvHttp::dateIsEnglishWhateverTheLocale_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the example") << QDateTime(QDate(2026, 12, 9), QTime(0, 50, 2), Qt::UTC)
                                 << "Wed,09 Dec 2026 00:50:02 GMT";
    QTest::newRow("Sunday in May, afternoon")
        << QDateTime(QDate(2027, 5, 2), QTime(23, 5, 9), Qt::UTC) << "Sun,02 May 2027 23:05:09 GMT";
    // A local time east of Greenwich is written in UTC (the day changes here).
    QTest::newRow("local time converted") << QDateTime(QDate(2026, 1, 1), QTime(0, 30, 0),
        Qt::OffsetFromUTC, 3600) << "Wed,31 Dec 2025 23:30:00 GMT";
}

void tst_KvHttp::dateIsEnglishWhateverTheLocale()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, expected);
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString date = RequestSigning::gmtDate(when);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString dateZh = RequestSigning::gmtDate(when);
    QLocale::setDefault(before);
    QCOMPARE(date, expected);
    QCOMPARE(dateZh, expected);
}

void tst_KvHttp::signatureIs56Base64CharactersOfHexHmac()
{
    // Oracle: Python's hmac over the same bytes.
    const QString text = QStringLiteral("POST\napplication/json\nWed,09 Dec 2026 00:50:02 GMT\n"
                                        "/api/v1/ocr/query\n")
        + kServiceKey + QStringLiteral("\npc-lumistrand\ndemo-sid");
    const QString signature = RequestSigning::hmacSignature(kServiceSecret, text);
    QCOMPARE(signature, QStringLiteral("N2Q1ZjQ1MzcyZTJjYzEyYTE3MGU5MjVhZDkyZjAwYWIzNGIyZWU0Yw=="));
    QCOMPARE(signature.size(), 56);
    QCOMPARE(QByteArray::fromBase64(signature.toLatin1()),
        QByteArray("7d5f45372e2cc12a170e925ad92f00ab34b2ee4c"));
}

void tst_KvHttp::headersOnTheWireCarryAValidSignature()
{
    KvHttp *client = newClient(9);
    client->requestUserInfo(QStringLiteral("u-42"));
    QVERIFY(TestUtils::waitUntil([&] { return m_service->requests().size() == 1; }));
    const FakeService::Request r = m_service->requests().first();

    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.target, QByteArray("/api/v1/userInfo"));
    QCOMPARE(r.body, QByteArray(R"({"userid":"u-42"})"));
    // Header names exactly as written.
    for (const char *name : { "Date", "token", "Client-Type", "Content-type", "Cookie" })
        QVERIFY2(r.hasHeaderNamed(name), name);
    QCOMPARE(r.header("Client-Type"), QByteArray("pc-smslogin"));
    QCOMPARE(r.header("Content-type"), QByteArray("application/json"));
    QCOMPARE(r.header("Cookie"), QByteArray("sid="));
    const QByteArray date = r.header("Date");
    QVERIFY2(QRegularExpression(QStringLiteral("^(Mon|Tue|Wed|Thu|Fri|Sat|Sun),\\d\\d "
                                               "[A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d GMT$"))
                 .match(QString::fromLatin1(date))
                 .hasMatch(),
        date.constData());

    // The token carries product, key and the signature of exactly this request.
    const QList<QByteArray> token = r.header("token").split(':');
    QCOMPARE(token.size(), 4);
    QCOMPARE(token.at(0), QByteArray("lumistrand"));
    QCOMPARE(token.at(1), QByteArray("login"));
    QCOMPARE(QString::fromLatin1(token.at(2)), kAccountKey);
    const QString text = QStringLiteral("POST\napplication/json\n") + QString::fromLatin1(date)
        + QStringLiteral("\n/api/v1/userInfo\n") + kAccountKey + QStringLiteral("\npc-smslogin\n");
    QCOMPARE(QString::fromLatin1(token.at(3)), RequestSigning::hmacSignature(kAccountSecret, text));
}

void tst_KvHttp::typeTableAndUnknownType()
{
    KvHttp client(4);
    QCOMPARE(client.product(), QStringLiteral("table2xls"));
    QCOMPARE(client.clientType(), QStringLiteral("pc-lumistrand"));
    QCOMPARE(client.appKey(), kServiceKey);
    // An unknown number is stored but loads nothing.
    client.setServiceType(8);
    QCOMPARE(client.serviceType(), 8);
    QCOMPARE(client.product(), QStringLiteral("table2xls"));
    KvHttp fresh(42);
    QCOMPARE(fresh.product(), QString());

    // The environment replaces the compiled-in pairs.
    qputenv("QUORVEL_ACCOUNT_KEY", "0123456789abcdef0123456789abcdef");
    KvHttp account(9);
    qunsetenv("QUORVEL_ACCOUNT_KEY");
    QCOMPARE(account.appKey(), QStringLiteral("0123456789abcdef0123456789abcdef"));
    QCOMPARE(ServiceTypes::accountPair().key, kAccountKey);
}

void tst_KvHttp::objectKeyHasTheUuidTwice()
{
    const QString uuid = QStringLiteral("{3f2a9c1e-0b7d-4e5f-8a6b-9c0d1e2f3a4b}");
    const QString key
        = KvHttpUploadOss::objectKey(QStringLiteral("ocr"), sampleFile("abc"), uuid, 1796784602);
    QCOMPARE(key,
        QStringLiteral("ocr/900150983cd24fb0d6963f7d28e17f72"
                       "{3f2a9c1e-0b7d-4e5f-8a6b-9c0d1e2f3a4b}1796784602/3f2a9c.png"));
}

void tst_KvHttp::fullTextJob()
{
    m_script.queryReplies
        = { R"({"status":"processing","progress":40})", R"({"status":"processing","progress":75})",
              R"({"status":"success","result":{"key":"ocr/result.txt"}})" };
    KvHttp *client = newClient(0);
    // Long enough that no poll overlaps the previous reply on loopback.
    client->setPollInterval(150);
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    QSignalSpy error(client, &KvHttp::progressError);
    QSignalSpy progress(client, &KvHttp::progressValueChanged);
    const UploadFile file = sampleFile();
    client->startJob({ file });
    QCOMPARE(client->jobState(), KvHttp::Uploading);
    QVERIFY(success.wait(5000));
    QTest::qWait(150);
    QCOMPARE(success.count(), 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(client->resultData(), QByteArray("recognised text"));
    QCOMPARE(client->resultKey(), QStringLiteral("ocr/result.txt"));
    QCOMPARE(client->jobId(), QStringLiteral("job-7"));
    QCOMPARE(client->downloadStage(), 3);
    QCOMPARE(progress.count(), 2);
    QCOMPARE(progress.at(0).at(0).toInt(), 40);
    QCOMPARE(progress.at(1).at(0).toInt(), 75);

    // The five steps in order: upload URL, PUT, create, polls, download URL, GET.
    const QList<QByteArray> expected { "POST /api/v1/object/uploadurl", "PUT /store/ocr/",
        "POST /api/v1/ocr/images", "POST /api/v1/ocr/query", "POST /api/v1/ocr/query",
        "POST /api/v1/ocr/query", "POST /api/v1/object/downloadurl",
        "GET /objects/ocr/result.txt" };
    const auto requests = m_service->requests();
    QCOMPARE(requests.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QByteArray seen = requests.at(i).method + ' ' + requests.at(i).path();
        QVERIFY2(seen.startsWith(expected.at(i)), seen.constData());
    }

    // Upload: the key's shape, then the PUT with its two headers and the bytes.
    const FakeService::Request up = m_service->requestsTo("/api/v1/object/uploadurl").first();
    const QString key = jsonBody(up).value("key").toString();
    const QRegularExpressionMatch m = QRegularExpression(
        QStringLiteral("^ocr/([0-9a-f]{32})(\\{([0-9a-f]{6})[0-9a-f]{2}-[0-9a-f]{4}-"
                       "[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\})(\\d{10})/([0-9a-f]{6})\\.png$"))
                                          .match(key);
    QVERIFY2(m.hasMatch(), qPrintable(key));
    QCOMPARE(m.captured(3), m.captured(5));
    QCOMPARE(m.captured(1),
        QString::fromLatin1(QCryptographicHash::hash(file.data, QCryptographicHash::Md5).toHex()));
    QVERIFY(qAbs(m.captured(4).toLongLong() - QDateTime::currentSecsSinceEpoch()) < 60);

    const FakeService::Request put = m_service->requestsTo("/store/").first();
    QCOMPARE(put.method, QByteArray("PUT"));
    QCOMPARE(put.body, file.data);
    QCOMPARE(put.header("Content-Type"), QByteArray("application/ocet-stream"));
    QCOMPARE(put.header("x-oss-meta-author"), QByteArray("lumistrand"));
    QVERIFY(!put.hasHeaderNamed("token"));

    // Create: exact body, members in key order, signed with the job session.
    const FakeService::Request create = m_service->requestsTo("/api/v1/ocr/images").first();
    const QByteArray expectedCreate = "{\"key\":\"" + key.toUtf8() + "\",\"md5\":\""
        + m.captured(1).toUtf8() + "\",\"size\":22,\"type\":\"pic2txt\"}";
    QCOMPARE(create.body, expectedCreate);
    QCOMPARE(create.header("Cookie"), QByteArray("sid=demo-sid"));
    const QString text = QStringLiteral("POST\napplication/json\n")
        + QString::fromLatin1(create.header("Date")) + QStringLiteral("\n/api/v1/ocr/images\n")
        + kServiceKey + QStringLiteral("\npc-lumistrand\ndemo-sid");
    QCOMPARE(create.header("token"),
        "lumistrand:pic2txt:" + kServiceKey.toUtf8() + ':'
            + RequestSigning::hmacSignature(kServiceSecret, text).toUtf8());

    QCOMPARE(m_service->requestsTo("/api/v1/ocr/query").first().body,
        QByteArray(R"({"jobid":"job-7"})"));
    QCOMPARE(m_service->requestsTo("/api/v1/object/downloadurl").first().body,
        QByteArray(R"({"key":"ocr/result.txt","method":"ocr"})"));
    // The result GET is plain: no signature.
    QVERIFY(!m_service->requestsTo("/objects/").first().hasHeaderNamed("token"));
}

void tst_KvHttp::createJobBodyPerType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("userId");
    QTest::newRow("0 text") << 0 << "pic2txt"
                            << "ocr" << false;
    QTest::newRow("1 word") << 1 << "pic2word"
                            << "ocr" << true;
    QTest::newRow("2 excel") << 2 << "pic2xlsx"
                             << "ocr" << true;
    QTest::newRow("3 table word") << 3 << "table2word"
                                  << "ocr" << true;
    QTest::newRow("4 table excel") << 4 << "table2xls"
                                   << "ocr" << true;
    QTest::newRow("5 enhance") << 5 << "picenhance"
                               << "ai" << false;
    QTest::newRow("6 colour") << 6 << "piccolor"
                              << "ai" << false;
    QTest::newRow("7 stretch") << 7 << "picstretchstore"
                               << "ai" << false;
}

void tst_KvHttp::createJobBodyPerType()
{
    QFETCH(int, type);
    QFETCH(QString, product);
    QFETCH(QString, family);
    QFETCH(bool, userId);
    KvHttp::setUserIdSource([] { return QStringLiteral("user-9"); });
    m_script.queryReplies = { R"({"status":"success","result":{"key":"k/r.bin"}})" };
    m_script.objects = { { "k/r.bin", "result" } };
    KvHttp *client = newClient(type);
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    client->startJob({ sampleFile() });
    QVERIFY(success.wait(5000));
    KvHttp::setUserIdSource(nullptr);

    QVERIFY(jsonBody(m_service->requestsTo("/api/v1/object/uploadurl").first())
                .value("key")
                .toString()
                .startsWith(family + QLatin1Char('/')));
    const auto creates = m_service->requestsTo(("/api/v1/" + family + "/images").toUtf8());
    QCOMPARE(creates.size(), 1);
    const QJsonObject body = jsonBody(creates.first());
    QStringList expectedKeys { "key", "md5", "size", "type" };
    if (userId)
        expectedKeys << "userId";
    QCOMPARE(body.keys(), expectedKeys);
    QCOMPARE(body.value("type").toString(), product);
    QCOMPARE(body.value("size").toInt(), 22);
    if (userId)
        QCOMPARE(body.value("userId").toString(), QStringLiteral("user-9"));
    QVERIFY(QList<QByteArray>({ creates.first().header("token") })
                .first()
                .startsWith("lumistrand:" + product.toUtf8() + ':'));
    // Polled at the family's own endpoint (more than once when a reply is
    // slower than the tests' short poll interval), never at the other's.
    QVERIFY(!m_service->requestsTo(("/api/v1/" + family + "/query").toUtf8()).isEmpty());
    const QString other
        = family == QLatin1String("ocr") ? QStringLiteral("ai") : QStringLiteral("ocr");
    QVERIFY(m_service->requestsTo(("/api/v1/" + other + "/query").toUtf8()).isEmpty());
    QCOMPARE(jsonBody(m_service->requestsTo("/api/v1/object/downloadurl").first())
                 .value("method")
                 .toString(),
        family);
}

void tst_KvHttp::failedReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("finished");
    QTest::addColumn<int>("errors");
    QTest::newRow("code 201") << QByteArray(R"({"status":"failed","code":201})") << 1 << 0;
    QTest::newRow("code 500") << QByteArray(R"({"status":"failed","code":500})") << 0 << 1;
    QTest::newRow("no code") << QByteArray(R"({"status":"failed"})") << 0 << 1;
}

void tst_KvHttp::failedReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, finished);
    QFETCH(int, errors);
    m_script.queryReplies = { reply };
    KvHttp *client = newClient(1);
    QSignalSpy finishedSpy(client, &KvHttp::processFinished);
    QSignalSpy errorSpy(client, &KvHttp::progressError);
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    client->startJob({ sampleFile() });
    QVERIFY(TestUtils::waitUntil([&] { return finishedSpy.count() + errorSpy.count() > 0; }, 5000));
    // Several poll intervals: the timer stopped and nothing more is reported.
    QTest::qWait(200);
    QCOMPARE(finishedSpy.count(), finished);
    if (finished)
        QCOMPARE(finishedSpy.first().first().toInt(), 201);
    QCOMPARE(errorSpy.count(), errors);
    QCOMPARE(success.count(), 0);
    QCOMPARE(m_service->requestsTo("/api/v1/ocr/query").size(), 1);
    QCOMPARE(m_service->requestsTo("/api/v1/object/downloadurl").size(), 0);
}

void tst_KvHttp::tableJobWithPreviewDownloadsTwoObjectsAndSignalsOnce()
{
    m_script.queryReplies
        = { R"({"status":"success","result":{"key":"ocr/t.docx","previewImage":"ocr/p.png"}})" };
    m_script.objects = { { "ocr/t.docx", "DOCX" }, { "ocr/p.png", "PNG" } };
    KvHttp *client = newClient(3);
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    QSignalSpy error(client, &KvHttp::progressError);
    client->startJob({ sampleFile() });
    QVERIFY(success.wait(5000));
    QTest::qWait(150);
    QCOMPARE(success.count(), 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(client->previewData(), QByteArray("PNG"));
    QCOMPARE(client->resultData(), QByteArray("DOCX"));
    const auto urls = m_service->requestsTo("/api/v1/object/downloadurl");
    QCOMPARE(urls.size(), 2);
    QCOMPARE(jsonBody(urls.at(0)).value("key").toString(), QStringLiteral("ocr/p.png"));
    QCOMPARE(jsonBody(urls.at(1)).value("key").toString(), QStringLiteral("ocr/t.docx"));
    QCOMPARE(m_service->requestsTo("/objects/").size(), 2);
}

void tst_KvHttp::tableJobWithoutPreviewDownloadsResultOnly()
{
    m_script.queryReplies
        = { R"({"status":"success","result":{"key":"ocr/t.xlsx","previewImage":""}})" };
    m_script.objects = { { "ocr/t.xlsx", "XLSX" } };
    KvHttp *client = newClient(4);
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    client->startJob({ sampleFile() });
    QVERIFY(success.wait(5000));
    QCOMPARE(client->resultData(), QByteArray("XLSX"));
    QCOMPARE(client->previewData(), QByteArray());
    QCOMPARE(m_service->requestsTo("/api/v1/object/downloadurl").size(), 1);
}

void tst_KvHttp::errorsEndTheJobOnce_data()
{
    QTest::addColumn<int>("createStatus");
    QTest::addColumn<QByteArray>("createBody");
    QTest::addColumn<QByteArray>("queryReply");
    QTest::addColumn<QByteArray>("missingObject");
    QTest::newRow("create refused")
        << 401 << QByteArray(R"({"error":"bad"})") << QByteArray() << QByteArray();
    QTest::newRow("create not JSON") << 200 << QByteArray("<html>") << QByteArray() << QByteArray();
    QTest::newRow("create empty data")
        << 200 << QByteArray(R"({"data":{}})") << QByteArray() << QByteArray();
    QTest::newRow("query not JSON")
        << 200 << QByteArray(R"({"data":{"jobid":"j"}})") << QByteArray("oops") << QByteArray();
    QTest::newRow("result missing")
        << 200 << QByteArray(R"({"data":{"jobid":"j"}})")
        << QByteArray(R"({"status":"success","result":{"key":"ocr/result.txt"}})")
        << QByteArray("ocr/result.txt");
}

void tst_KvHttp::errorsEndTheJobOnce()
{
    QFETCH(int, createStatus);
    QFETCH(QByteArray, createBody);
    QFETCH(QByteArray, queryReply);
    QFETCH(QByteArray, missingObject);
    m_script.createStatus = createStatus;
    m_script.createBody = createBody;
    if (!queryReply.isEmpty())
        m_script.queryReplies = { queryReply };
    m_script.objects.remove(missingObject);
    KvHttp *client = newClient(0);
    QSignalSpy error(client, &KvHttp::progressError);
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    client->startJob({ sampleFile() });
    if (queryReply == "oops") {
        // A reply with an unknown status keeps polling, as the service may still answer.
        QVERIFY(TestUtils::waitUntil(
            [&] { return m_service->requestsTo("/api/v1/ocr/query").size() >= 3; }, 5000));
        QCOMPARE(error.count(), 0);
        client->setCancelled(true);
        return;
    }
    QVERIFY(error.wait(5000));
    QTest::qWait(150);
    QCOMPARE(error.count(), 1);
    QCOMPARE(success.count(), 0);
}

void tst_KvHttp::uploadUrlWithoutUrlFailsThePut()
{
    m_script.uploadUrlBody = R"({"data":{}})";
    KvHttp *client = newClient(0);
    QSignalSpy error(client, &KvHttp::progressError);
    QSignalSpy picUpload(client, &KvHttp::signals_picUpload);
    client->startJob({ sampleFile() });
    QVERIFY(error.wait(5000));
    QCOMPARE(picUpload.count(), 1);
    QCOMPARE(picUpload.first().at(0).toInt(), 0);
    QCOMPARE(picUpload.first().at(1).toBool(), false);
    QCOMPARE(m_service->requestsTo("/api/v1/ocr/images").size(), 0);
}

void tst_KvHttp::unreachableServiceIsToldApart_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("unreachable");
    QTest::newRow("nothing listens") << "closed port" << true;
    QTest::newRow("create refused") << "refused" << false;
    QTest::newRow("upload URL missing") << "no url" << false;
}

void tst_KvHttp::unreachableServiceIsToldApart()
{
    QFETCH(QString, failure);
    QFETCH(bool, unreachable);
    KvHttp *client = newClient(0);
    if (failure == "closed port") {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        client->setBaseUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
    } else if (failure == "refused") {
        m_script.createStatus = 401;
        m_script.createBody = R"({"error":"bad"})";
    } else {
        m_script.uploadUrlBody = R"({"data":{}})";
    }
    QSignalSpy error(client, &KvHttp::progressError);
    client->startJob({ sampleFile() });
    QVERIFY(error.wait(5000));
    QCOMPARE(client->serviceUnreachable(), unreachable);
    // The next job starts with a clean slate.
    client->setBaseUrl(m_service->baseUrl());
    m_script = Script();
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    client->startJob({ sampleFile() });
    QVERIFY(success.wait(5000));
    QVERIFY(!client->serviceUnreachable());
}

void tst_KvHttp::noCancelRequestWhileUploading()
{
    m_script.queryReplies = { R"({"status":"processing","progress":10})" };
    KvHttp *client = newClient(0);
    QSignalSpy error(client, &KvHttp::progressError);
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    client->startJob({ sampleFile() });
    client->setCancelled(true);
    QCOMPARE(client->jobState(), KvHttp::Uploading);
    // The upload and the job creation still go through; the first poll tick stops.
    QVERIFY(TestUtils::waitUntil([&] { return client->jobState() == KvHttp::Polling; }, 5000));
    QTest::qWait(200);
    QCOMPARE(m_service->requestsTo("/api/v1/ocr/images").size(), 1);
    QCOMPARE(m_service->requestsTo("/api/v1/ocr/query").size(), 0);
    QCOMPARE(m_service->requestsTo("/api/v1/cancel/").size(), 0);
    QCOMPARE(error.count() + success.count(), 0);
}

void tst_KvHttp::cancelWhilePollingSendsSignedDelete()
{
    m_script.queryReplies = { R"({"status":"processing","progress":10})" };
    KvHttp *client = newClient(5);
    client->startJob({ sampleFile() });
    QVERIFY(TestUtils::waitUntil(
        [&] { return m_service->requestsTo("/api/v1/ai/query").size() >= 2; }, 5000));
    client->setCancelled(true);
    QVERIFY(TestUtils::waitUntil(
        [&] { return m_service->requestsTo("/api/v1/cancel/").size() == 1; }, 5000));
    const FakeService::Request cancel = m_service->requestsTo("/api/v1/cancel/").first();
    QCOMPARE(cancel.method, QByteArray("DELETE"));
    QCOMPARE(cancel.target, QByteArray("/api/v1/cancel/job-7"));
    QCOMPARE(cancel.header("Content-type"), QByteArray("application/x-www-form-urlencoded"));
    const QString text = QStringLiteral("DELETE\napplication/x-www-form-urlencoded\n")
        + QString::fromLatin1(cancel.header("Date")) + QStringLiteral("\n/api/v1/cancel/job-7\n")
        + kServiceKey + QStringLiteral("\npc-lumistrand\ndemo-sid");
    QVERIFY(cancel.header("token").endsWith(
        ':' + RequestSigning::hmacSignature(kServiceSecret, text).toUtf8()));
    // Polling has stopped.
    const int queries = m_service->requestsTo("/api/v1/ai/query").size();
    QTest::qWait(200);
    QCOMPARE(m_service->requestsTo("/api/v1/ai/query").size(), queries);
}

void tst_KvHttp::nextJobRunsAfterATimeout()
{
    // The first job never finishes; the view's timeout cancels it.
    m_script.queryReplies = { R"({"status":"processing","progress":10})" };
    KvHttp *client = newClient(0);
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    QSignalSpy error(client, &KvHttp::progressError);
    client->startJob({ sampleFile() });
    QVERIFY(TestUtils::waitUntil(
        [&] { return m_service->requestsTo("/api/v1/ocr/query").size() >= 2; }, 5000));
    client->setCancelled(true);

    // The next job on the same client runs to its end.
    m_script.queryReplies = { R"({"status":"success","result":{"key":"ocr/result.txt"}})" };
    m_queryCount = 0;
    client->startJob({ sampleFile("second picture") });
    QVERIFY(success.wait(5000));
    QTest::qWait(150);
    QCOMPARE(success.count(), 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(client->resultData(), QByteArray("recognised text"));
    QCOMPARE(m_service->requestsTo("/api/v1/ocr/images").size(), 2);
}

void tst_KvHttp::lateReplyOfACancelledJobIsIgnored()
{
    // Job 1's only poll is answered late, after the view gave up and started job 2.
    bool firstJob = true;
    m_script.objects.insert("ocr/old.txt", "text of the first picture");
    // Job 2 is still polling when job 1's answer comes.
    m_script.queryReplies.clear();
    for (int i = 0; i < 12; ++i)
        m_script.queryReplies << R"({"status":"processing","progress":5})";
    m_script.queryReplies << R"({"status":"success","result":{"key":"ocr/result.txt"}})";
    m_service->setHandler([&](const FakeService::Request &r) {
        if (r.path() == "/api/v1/ocr/query" && firstJob) {
            FakeService::Response late
                = FakeService::json(R"({"status":"success","result":{"key":"ocr/old.txt"}})");
            late.delayMs = 400;
            return late;
        }
        return answer(r);
    });
    KvHttp *client = newClient(0);
    client->setPollInterval(50);
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    QSignalSpy error(client, &KvHttp::progressError);
    client->startJob({ sampleFile("first") });
    QVERIFY(TestUtils::waitUntil(
        [&] { return m_service->requestsTo("/api/v1/ocr/query").size() >= 1; }, 5000));
    client->setCancelled(true);
    firstJob = false;
    client->startJob({ sampleFile("second") });
    QVERIFY(success.wait(5000));
    QTest::qWait(600);
    QCOMPARE(success.count(), 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(client->resultData(), QByteArray("recognised text"));
    for (const auto &r : m_service->requestsTo("/api/v1/object/downloadurl"))
        QCOMPARE(jsonBody(r).value("key").toString(), QStringLiteral("ocr/result.txt"));
}

void tst_KvHttp::overlappingPollsDownloadOnce()
{
    // Replies slower than the poll interval: several "success" answers arrive.
    m_service->setHandler([this](const FakeService::Request &r) {
        FakeService::Response resp = answer(r);
        if (r.path() == "/api/v1/ocr/query")
            resp.delayMs = 150;
        return resp;
    });
    KvHttp *client = newClient(0);
    client->setPollInterval(20);
    QSignalSpy success(client, &KvHttp::downloadSuccess);
    client->startJob({ sampleFile() });
    QVERIFY(success.wait(5000));
    QTest::qWait(400);
    QVERIFY(m_service->requestsTo("/api/v1/ocr/query").size() > 1);
    QCOMPARE(success.count(), 1);
    QCOMPARE(m_service->requestsTo("/api/v1/object/downloadurl").size(), 1);
}

void tst_KvHttp::userInfoGivesUpAfterItsTimeout()
{
    m_service->setHandler([](const FakeService::Request &) {
        FakeService::Response r;
        r.hold = true;
        return r;
    });
    KvHttp *client = newClient(9);
    client->setUserInfoTimeout(300);
    QSignalSpy info(client, &KvHttp::userInfoReceived);
    client->requestUserInfo(QStringLiteral("u-1"));
    // The client hangs up on the silent service instead of waiting for ever.
    QVERIFY(TestUtils::waitUntil([&] { return m_service->abandonedConnections() == 1; }, 5000));
    QCOMPARE(info.count(), 0);
}

QTEST_GUILESS_MAIN(tst_KvHttp)
#include "tst_KvHttp.moc"

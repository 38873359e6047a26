// Starts the real quorvel-service on a free loopback port with its own data
// folder and speaks its protocol with the test's own client.

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtTest>

#include "ServiceTestClient.h"

using namespace ServiceTest;

namespace {

QString normalised(const QString &text) { return text.simplified().toLower(); }

// Luminance spread, to show that a contrast job did raise the contrast.
double lumaStdDev(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0, squares = 0;
    const double count = double(grey.width()) * grey.height();
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *line = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            sum += line[x];
            squares += double(line[x]) * line[x];
        }
    }
    const double mean = sum / count;
    return std::sqrt(squares / count - mean * mean);
}

// A dim, flat picture with a few soft shapes.
QImage lowContrastPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int v = 110 + (x * 20) / width + ((x / 16 + y / 16) % 2) * 8;
            line[x] = qRgb(v, v + 4, v - 6);
        }
    }
    return image;
}

QString readUrlSecret(const QString &dataDir)
{
    QFile file(dataDir + QStringLiteral("/url-secret"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll().trimmed())
                                          : QString();
}

// A presigned URL made with the installation's secret, as the service would make it.
QString forgeObjectUrl(const QString &base, const QString &secret, const QString &op,
    const QString &key, qint64 expires)
{
    const QByteArray text = op.toUtf8() + '\n' + key.toUtf8() + '\n' + QByteArray::number(expires);
    const QByteArray signature
        = QMessageAuthenticationCode::hash(text, secret.toLatin1(), QCryptographicHash::Sha256)
              .toHex();
    // One arg() call: the encoded key holds "%2F", which a second call would take for a marker.
    return base
        + QStringLiteral("/object/%1?key=%2&expires=%3&signature=%4")
              .arg(op, QString::fromLatin1(QUrl::toPercentEncoding(key)), QString::number(expires),
                  QString::fromLatin1(signature));
}

} // namespace

class tst_QuorvelService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void textJobRecognisesSentence();
    void contrastJobReturnsSameSize_data();
    void contrastJobReturnsSameSize();
    void productsWithoutEngineFail();
    void refusedRequests_data();
    void refusedRequests();
    void oversizedUploadRefusedFromHeaders();
    void uploadNeverReplacesAnObject();
    void malformedJsonKeepsServing();
    void cancelledJobStops();
    void jobAcceptedBeforeRestartCompletes();
    void signInFlowAndUserInfo();
    void feedbackIsStored();
    void stopsOnSigtermAndWithItsParent();

private:
    QTemporaryDir m_data;
    ServiceProcess m_service;
    Client *m_client = nullptr;
};

void tst_QuorvelService::initTestCase()
{
    QVERIFY(QFile::exists(serviceExecutable()));
    QVERIFY(m_data.isValid());
    QVERIFY2(m_service.start(m_data.path(),
                 { QStringLiteral("--workers"), QStringLiteral("1"), QStringLiteral("--max-upload"),
                     QStringLiteral("300k") }),
        m_service.standardError().constData());
    m_client = new Client(m_service.baseUrl());
    QCOMPARE(m_client->get(m_service.baseUrl() + QStringLiteral("/healthz")).status, 200);
}

void tst_QuorvelService::cleanupTestCase()
{
    delete m_client;
    QCOMPARE(m_service.terminate(), 0);
}

void tst_QuorvelService::textJobRecognisesSentence()
{
    const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog");
    const QByteArray png = encode(renderText({ sentence }, 26, 760), "PNG");
    QString failure;
    const QString jobId = m_client->submitJob(
        QStringLiteral("pic2txt"), QStringLiteral("ocr"), png, QStringLiteral("png"), &failure);
    QVERIFY2(!jobId.isEmpty(), qPrintable(failure));
    QList<int> progress;
    const QJsonObject done = m_client->waitForJob(
        QStringLiteral("pic2txt"), QStringLiteral("ocr"), jobId, 60000, &progress);
    QCOMPARE(done.value(QStringLiteral("status")).toString(), QStringLiteral("success"));
    QCOMPARE(done.value(QStringLiteral("code")).toInt(), 0);
    for (int value : progress)
        QVERIFY2(value >= 0 && value <= 100, qPrintable(QString::number(value)));
    const QJsonObject result = done.value(QStringLiteral("result")).toObject();
    const QString key = result.value(QStringLiteral("key")).toString();
    QVERIFY(key.startsWith(QLatin1String("ocr/")));
    QVERIFY(result.contains(QStringLiteral("previewImage")));
    const QByteArray text
        = m_client->download(QStringLiteral("pic2txt"), key, QStringLiteral("ocr"));
    QCOMPARE(normalised(QString::fromUtf8(text)), normalised(sentence));
}

void tst_QuorvelService::contrastJobReturnsSameSize_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("resultSuffix");
    QTest::newRow("JPEG stays JPEG") << QByteArray("JPG") << "jpg"
                                     << ".jpg";
    QTest::newRow("PNG stays PNG") << QByteArray("PNG") << "PNG"
                                   << ".png";
}

void tst_QuorvelService::contrastJobReturnsSameSize()
{
    QFETCH(QByteArray, format);
    QFETCH(QString, suffix);
    QFETCH(QString, resultSuffix);
    const QImage source = lowContrastPicture(320, 200);
    const QByteArray bytes = encode(source, format.constData());
    QString failure;
    const QString jobId = m_client->submitJob(
        QStringLiteral("picenhance"), QStringLiteral("ai"), bytes, suffix, &failure);
    QVERIFY2(!jobId.isEmpty(), qPrintable(failure));
    const QJsonObject done
        = m_client->waitForJob(QStringLiteral("picenhance"), QStringLiteral("ai"), jobId, 30000);
    QCOMPARE(done.value(QStringLiteral("status")).toString(), QStringLiteral("success"));
    const QString key
        = done.value(QStringLiteral("result")).toObject().value(QStringLiteral("key")).toString();
    QVERIFY2(key.endsWith(resultSuffix), qPrintable(key));
    const QImage result = QImage::fromData(
        m_client->download(QStringLiteral("picenhance"), key, QStringLiteral("ai")));
    QVERIFY(!result.isNull());
    QCOMPARE(result.size(), source.size());
    QVERIFY(lumaStdDev(result) > lumaStdDev(QImage::fromData(bytes)) * 1.5);
}

void tst_QuorvelService::productsWithoutEngineFail()
{
    QString failure;
    const QString jobId = m_client->submitJob(QStringLiteral("table2xls"), QStringLiteral("ocr"),
        encode(renderText({ QStringLiteral("a") }, 20, 100), "PNG"), QStringLiteral("png"),
        &failure);
    QVERIFY2(!jobId.isEmpty(), qPrintable(failure));
    const QJsonObject done
        = m_client->waitForJob(QStringLiteral("table2xls"), QStringLiteral("ocr"), jobId, 20000);
    QCOMPARE(done.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    const int code = done.value(QStringLiteral("code")).toInt();
    QVERIFY(code != 0 && code != 201);
    QVERIFY(m_service.standardError().contains("table2xls failed"));
}

void tst_QuorvelService::refusedRequests_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::newRow("wrong secret") << "secret" << 401;
    QTest::newRow("product of the other key pair") << "product" << 401;
    QTest::newRow("unknown product") << "unknown product" << 401;
    QTest::newRow("Date 20 minutes old") << "old date" << 401;
    QTest::newRow("Date 20 minutes ahead") << "future date" << 401;
    QTest::newRow("account pair on a job endpoint") << "account pair" << 401;
    QTest::newRow("signed for another path") << "path" << 401;
    QTest::newRow("tampered upload URL") << "tampered" << 403;
    QTest::newRow("expired upload URL") << "expired" << 403;
    QTest::newRow("expired download URL") << "expired download" << 403;
    QTest::newRow("traversal key") << "traversal" << 400;
    QTest::newRow("traversal key in a signed URL") << "signed traversal" << 400;
    QTest::newRow("key with mismatched digits") << "mismatch" << 400;
    QTest::newRow("query of an unknown job") << "unknown job" << 404;
}

void tst_QuorvelService::refusedRequests()
{
    QFETCH(QString, kind);
    QFETCH(int, status);
    const QByteArray data = "not really a picture";
    const QString key = Client::uploadKey(QStringLiteral("ocr"), data, QStringLiteral("png"));
    const QJsonObject body { { QStringLiteral("key"), key } };
    const QString uploadPath = QStringLiteral("/api/v1/object/uploadurl");
    Signing signing;
    Reply reply;
    if (kind == QLatin1String("secret")) {
        signing.secret = QStringLiteral("0000000000000000000000000000000a");
        reply = m_client->signedJson("POST", uploadPath, body, signing);
    } else if (kind == QLatin1String("product")) {
        signing.product = QStringLiteral("login");
        reply = m_client->signedJson("POST", uploadPath, body, signing);
    } else if (kind == QLatin1String("unknown product")) {
        signing.product = QStringLiteral("pic2mp3");
        reply = m_client->signedJson("POST", uploadPath, body, signing);
    } else if (kind == QLatin1String("old date")) {
        signing.date = signing.date.addSecs(-20 * 60);
        reply = m_client->signedJson("POST", uploadPath, body, signing);
    } else if (kind == QLatin1String("future date")) {
        signing.date = signing.date.addSecs(20 * 60);
        reply = m_client->signedJson("POST", uploadPath, body, signing);
    } else if (kind == QLatin1String("account pair")) {
        reply = m_client->signedJson("POST", uploadPath, body, Signing::account());
    } else if (kind == QLatin1String("path")) {
        // The signature covers the path: a signature for the query endpoint fails on another.
        const QString date = gmtDate(signing.date);
        const QString text = QStringLiteral("POST\napplication/json\n%1\n/api/v1/ocr/query\n%2\n"
                                            "pc-lumistrand\ndemo-sid")
                                 .arg(date, signing.appKey);
        QNetworkAccessManager network;
        QNetworkRequest request(QUrl(m_service.baseUrl() + uploadPath));
        request.setRawHeader("Date", date.toLatin1());
        request.setRawHeader("token",
            "lumistrand:pic2txt:" + signing.appKey.toLatin1() + ':'
                + signatureFor(signing.secret, text).toLatin1());
        request.setRawHeader("Client-Type", "pc-lumistrand");
        request.setRawHeader("Content-type", "application/json");
        request.setRawHeader("Cookie", "sid=demo-sid");
        QNetworkReply *raw
            = network.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
        QSignalSpy finished(raw, &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));
        reply.status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        reply.body = raw->readAll();
        delete raw;
    } else if (kind == QLatin1String("tampered") || kind == QLatin1String("expired")) {
        const Reply url = m_client->signedJson("POST", uploadPath, body);
        QCOMPARE(url.status, 200);
        QString uploadUrl = url.json()
                                .value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("url"))
                                .toString();
        if (kind == QLatin1String("tampered")) {
            // Same signature, another key of a valid shape.
            const QString otherKey
                = Client::uploadKey(QStringLiteral("ocr"), "other", QStringLiteral("png"));
            QUrl tampered(uploadUrl);
            QUrlQuery query(tampered);
            query.removeQueryItem(QStringLiteral("key"));
            query.addQueryItem(
                QStringLiteral("key"), QString::fromLatin1(QUrl::toPercentEncoding(otherKey)));
            tampered.setQuery(query);
            uploadUrl = tampered.toString();
        } else {
            uploadUrl = forgeObjectUrl(m_service.baseUrl(), readUrlSecret(m_data.path()),
                QStringLiteral("upload"), key, QDateTime::currentSecsSinceEpoch() - 1);
        }
        reply = m_client->put(uploadUrl, data);
    } else if (kind == QLatin1String("expired download")) {
        QString failure;
        const QString jobId = m_client->submitJob(QStringLiteral("pic2txt"), QStringLiteral("ocr"),
            data, QStringLiteral("png"), &failure);
        QVERIFY2(!jobId.isEmpty(), qPrintable(failure));
        // The upload itself is an object; its download URL expired a second ago.
        Q_UNUSED(jobId);
        const QString url = forgeObjectUrl(m_service.baseUrl(), readUrlSecret(m_data.path()),
            QStringLiteral("download"), key, QDateTime::currentSecsSinceEpoch() - 1);
        reply = m_client->get(url);
    } else if (kind == QLatin1String("traversal")) {
        reply = m_client->signedJson("POST", uploadPath,
            { { QStringLiteral("key"), QStringLiteral("ocr/../../url-secret") } });
    } else if (kind == QLatin1String("signed traversal")) {
        // Even a correctly signed URL cannot name a path outside the store.
        reply = m_client->put(forgeObjectUrl(m_service.baseUrl(), readUrlSecret(m_data.path()),
                                  QStringLiteral("upload"), QStringLiteral("../escaped.png"),
                                  QDateTime::currentSecsSinceEpoch() + 600),
            data);
        QVERIFY(!QFile::exists(m_data.path() + QStringLiteral("/escaped.png")));
    } else if (kind == QLatin1String("mismatch")) {
        QString bad = key;
        const int slash = bad.lastIndexOf(QLatin1Char('/'));
        bad.replace(slash + 1, 6,
            QStringLiteral("ffffff") == bad.mid(slash + 1, 6) ? QStringLiteral("000000")
                                                              : QStringLiteral("ffffff"));
        reply = m_client->signedJson("POST", uploadPath, { { QStringLiteral("key"), bad } });
    } else if (kind == QLatin1String("unknown job")) {
        reply = m_client->signedJson("POST", QStringLiteral("/api/v1/ocr/query"),
            { { QStringLiteral("jobid"), QStringLiteral("0123456789abcdef0123456789abcdef") } });
    }
    QCOMPARE(reply.status, status);
    QVERIFY2(reply.json().contains(QStringLiteral("message")), reply.body.constData());
    // An expired URL must be refused for its age, not for a bad signature.
    if (kind.startsWith(QLatin1String("expired")))
        QVERIFY2(reply.body.contains("expired"), reply.body.constData());
}

void tst_QuorvelService::oversizedUploadRefusedFromHeaders()
{
    const QByteArray data(400 * 1000, 'x');
    const QString key = Client::uploadKey(QStringLiteral("ai"), data, QStringLiteral("png"));
    const Reply url = m_client->signedJson("POST", QStringLiteral("/api/v1/object/uploadurl"),
        { { QStringLiteral("key"), key } }, Signing::forProduct(QStringLiteral("picenhance")));
    QCOMPARE(url.status, 200);
    const QUrl uploadUrl(url.json()
                             .value(QStringLiteral("data"))
                             .toObject()
                             .value(QStringLiteral("url"))
                             .toString());

    // Announce 400 kB, send 1 kB: the answer must come without the rest.
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_service.port()));
    QVERIFY(socket.waitForConnected(5000));
    socket.write("PUT " + uploadUrl.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority)
        + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/ocet-stream\r\n"
          "Content-Length: "
        + QByteArray::number(data.size()) + "\r\n\r\n" + data.left(1000));
    QByteArray answer;
    QDeadlineTimer deadline(10000);
    while (!answer.contains("\r\n\r\n") && !deadline.hasExpired()) {
        if (socket.waitForReadyRead(200))
            answer += socket.readAll();
        if (socket.state() != QAbstractSocket::ConnectedState)
            break;
    }
    answer += socket.readAll();
    QVERIFY2(answer.startsWith("HTTP/1.1 413"), answer.constData());

    // A chunked upload announces no length; it is cut off once it passes the limit.
    const Reply chunkedUrl
        = m_client->signedJson("POST", QStringLiteral("/api/v1/object/uploadurl"),
            { { QStringLiteral("key"), key } }, Signing::forProduct(QStringLiteral("picenhance")));
    QCOMPARE(chunkedUrl.status, 200);
    const QUrl second(chunkedUrl.json()
                          .value(QStringLiteral("data"))
                          .toObject()
                          .value(QStringLiteral("url"))
                          .toString());
    QTcpSocket chunked;
    chunked.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_service.port()));
    QVERIFY(chunked.waitForConnected(5000));
    chunked.write("PUT " + second.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority)
        + " HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n");
    for (int i = 0; i < 40 && chunked.state() == QAbstractSocket::ConnectedState; ++i) {
        chunked.write(QByteArray::number(10000, 16) + "\r\n" + QByteArray(10000, 'y') + "\r\n");
        chunked.waitForBytesWritten(1000);
    }
    chunked.write("0\r\n\r\n");
    QByteArray chunkedAnswer;
    deadline = QDeadlineTimer(10000);
    while (!chunkedAnswer.contains("\r\n\r\n") && !deadline.hasExpired()
        && chunked.state() == QAbstractSocket::ConnectedState) {
        if (chunked.waitForReadyRead(200))
            chunkedAnswer += chunked.readAll();
    }
    chunkedAnswer += chunked.readAll();
    QVERIFY2(chunkedAnswer.startsWith("HTTP/1.1 413"), chunkedAnswer.constData());
    // Nothing half-written is left under the key.
    const Reply download
        = m_client->signedJson("POST", QStringLiteral("/api/v1/object/downloadurl"),
            { { QStringLiteral("key"), key }, { QStringLiteral("method"), QStringLiteral("ai") } },
            Signing::forProduct(QStringLiteral("picenhance")));
    QCOMPARE(download.status, 404);
}

void tst_QuorvelService::uploadNeverReplacesAnObject()
{
    const QByteArray first = "first bytes";
    const QString key = Client::uploadKey(QStringLiteral("ocr"), first, QStringLiteral("png"));
    const Reply url = m_client->signedJson(
        "POST", QStringLiteral("/api/v1/object/uploadurl"), { { QStringLiteral("key"), key } });
    QCOMPARE(url.status, 200);
    const QString uploadUrl = url.json()
                                  .value(QStringLiteral("data"))
                                  .toObject()
                                  .value(QStringLiteral("url"))
                                  .toString();
    QCOMPARE(m_client->put(uploadUrl, first).status, 200);
    // The same presigned URL replayed with other bytes.
    QCOMPARE(m_client->put(uploadUrl, "second bytes").status, 409);
    QCOMPARE(m_client
                 ->signedJson("POST", QStringLiteral("/api/v1/object/uploadurl"),
                     { { QStringLiteral("key"), key } })
                 .status,
        409);
    QCOMPARE(m_client->download(QStringLiteral("pic2txt"), key, QStringLiteral("ocr")), first);
}

void tst_QuorvelService::malformedJsonKeepsServing()
{
    const QList<QByteArray> bodies { "{\"key\": ", "[1,2,3]", "", "\xff\xfe{}" };
    for (const QByteArray &body : bodies) {
        const Reply reply
            = m_client->signedRequest("POST", QStringLiteral("/api/v1/ocr/images"), body);
        QCOMPARE(reply.status, 400);
    }
    // Members of the wrong type are refused the same way.
    const Reply wrongType = m_client->signedJson(
        "POST", QStringLiteral("/api/v1/ocr/query"), { { QStringLiteral("jobid"), 42 } });
    QCOMPARE(wrongType.status, 400);
    QCOMPARE(m_client->get(m_service.baseUrl() + QStringLiteral("/healthz")).status, 200);
}

void tst_QuorvelService::cancelledJobStops()
{
    // No workers: the job is accepted and waits, so the cancel surely meets it unfinished.
    QTemporaryDir data;
    ServiceProcess service;
    QVERIFY(service.start(data.path(), { QStringLiteral("--workers"), QStringLiteral("0") }));
    Client client(service.baseUrl());
    QString failure;
    const QString jobId = client.submitJob(QStringLiteral("picenhance"), QStringLiteral("ai"),
        encode(lowContrastPicture(64, 64), "PNG"), QStringLiteral("png"), &failure);
    QVERIFY2(!jobId.isEmpty(), qPrintable(failure));
    const Signing signing = Signing::forProduct(QStringLiteral("picenhance"));
    const QString cancelPath = QStringLiteral("/api/v1/cancel/") + jobId;
    QCOMPARE(client
                 .signedRequest("DELETE", cancelPath, QByteArray(), signing,
                     "application/x-www-form-urlencoded")
                 .status,
        200);
    const QJsonObject state
        = client.waitForJob(QStringLiteral("picenhance"), QStringLiteral("ai"), jobId, 5000);
    QCOMPARE(state.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    const int code = state.value(QStringLiteral("code")).toInt();
    QVERIFY(code != 0 && code != 201);
    // A second cancel finds it ended; an unknown job is not found.
    QCOMPARE(client
                 .signedRequest("DELETE", cancelPath, QByteArray(), signing,
                     "application/x-www-form-urlencoded")
                 .status,
        409);
    QCOMPARE(client
                 .signedRequest("DELETE", QStringLiteral("/api/v1/cancel/nosuchjob"), QByteArray(),
                     signing, "application/x-www-form-urlencoded")
                 .status,
        404);
    QCOMPARE(service.terminate(), 0);
}

void tst_QuorvelService::jobAcceptedBeforeRestartCompletes()
{
    QTemporaryDir data;
    const QImage picture = lowContrastPicture(96, 64);
    QString jobId;
    {
        ServiceProcess first;
        QVERIFY(first.start(data.path(), { QStringLiteral("--workers"), QStringLiteral("0") }));
        Client client(first.baseUrl());
        QString failure;
        jobId = client.submitJob(QStringLiteral("picenhance"), QStringLiteral("ai"),
            encode(picture, "PNG"), QStringLiteral("png"), &failure);
        QVERIFY2(!jobId.isEmpty(), qPrintable(failure));
        // The hard way down: no chance to tidy up.
        first.kill();
    }
    ServiceProcess second;
    QVERIFY(second.start(data.path(), { QStringLiteral("--workers"), QStringLiteral("1") }));
    Client client(second.baseUrl());
    const QJsonObject done
        = client.waitForJob(QStringLiteral("picenhance"), QStringLiteral("ai"), jobId, 30000);
    QCOMPARE(done.value(QStringLiteral("status")).toString(), QStringLiteral("success"));
    const QImage result = QImage::fromData(client.download(QStringLiteral("picenhance"),
        done.value(QStringLiteral("result")).toObject().value(QStringLiteral("key")).toString(),
        QStringLiteral("ai")));
    QCOMPARE(result.size(), picture.size());
    QCOMPARE(second.terminate(), 0);
}

void tst_QuorvelService::signInFlowAndUserInfo()
{
    const QString base = m_service.baseUrl();
    const QString callback = base + QStringLiteral("/qq/callback");
    const QString redirect = QString::fromLatin1(QUrl::toPercentEncoding(callback)).toLower();
    const QString authorize = base + QStringLiteral("/oauth2.0/authorize");

    const Reply page = m_client->get(authorize
        + QStringLiteral("?response_type=code&client_id=588743635&redirect_uri=") + redirect);
    QCOMPARE(page.status, 200);
    QVERIFY(page.body.contains("autofocus"));
    QVERIFY(page.body.contains(">Sign in</button>"));
    QVERIFY(page.body.contains("type=\"submit\""));

    // Another application id, or a code sent anywhere but our callback, is refused.
    QCOMPARE(m_client
                 ->get(authorize
                     + QStringLiteral("?response_type=code&client_id=123456789&redirect_uri=")
                     + redirect)
                 .status,
        400);
    QCOMPARE(m_client
                 ->get(authorize
                     + QStringLiteral("?response_type=code&client_id=588743635&redirect_uri=http%"
                                      "3a%2f%2fevil.example%2fqq%2fcallback"))
                 .status,
        400);

    auto signIn = [&](const QString &name) {
        QUrlQuery form;
        form.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
        form.addQueryItem(QStringLiteral("client_id"), QStringLiteral("588743635"));
        form.addQueryItem(
            QStringLiteral("redirect_uri"), QString::fromLatin1(QUrl::toPercentEncoding(callback)));
        form.addQueryItem(
            QStringLiteral("name"), QString::fromLatin1(QUrl::toPercentEncoding(name)));
        return m_client->postForm(authorize, form.query(QUrl::FullyEncoded).toLatin1());
    };
    const QString name = QStringLiteral("Ada <b>\"Lovelace\"</b>");
    const Reply redirected = signIn(name);
    QCOMPARE(redirected.status, 302);
    const QString location = QString::fromLatin1(redirected.header("Location"));
    QVERIFY2(location.startsWith(callback + QStringLiteral("?code=")), qPrintable(location));

    const Reply landing = m_client->get(location);
    QCOMPARE(landing.status, 200);
    QVERIFY(landing.body.contains("window.qqCallBack("));
    QVERIFY2(!landing.body.contains("<b>"), "the name must be escaped in the page");
    const QRegularExpression userJson(QStringLiteral("var user = (\\{[^\\n]*\\});"));
    const QRegularExpressionMatch match = userJson.match(QString::fromUtf8(landing.body));
    QVERIFY(match.hasMatch());
    const QJsonObject user = QJsonDocument::fromJson(match.captured(1).toUtf8()).object();
    QCOMPARE(user.value(QStringLiteral("nickname")).toString(), name);
    const QString userId = user.value(QStringLiteral("userid")).toString();
    QCOMPARE(userId.size(), 32);
    // A login code works once.
    QCOMPARE(m_client->get(location).status, 400);
    // Signing in again with the same name finds the same user.
    const Reply again = signIn(name);
    QVERIFY(QString::fromLatin1(again.header("Location")).startsWith(callback));
    QVERIFY(m_client->get(QString::fromLatin1(again.header("Location")))
                .body.contains(userId.toLatin1()));
    QCOMPARE(signIn(QStringLiteral("   ")).status, 400);

    const Reply info = m_client->signedJson("POST", QStringLiteral("/api/v1/userInfo"),
        { { QStringLiteral("userid"), userId } }, Signing::account());
    QCOMPARE(info.status, 200);
    QCOMPARE(info.json().value(QStringLiteral("username")).toString(), name);
    const QString avatarUrl = info.json().value(QStringLiteral("avatar")).toString();
    QVERIFY(avatarUrl.startsWith(base));
    const QImage avatar = QImage::fromData(m_client->get(avatarUrl).body);
    QCOMPARE(avatar.size(), QSize(96, 96));

    QCOMPARE(m_client
                 ->signedJson("POST", QStringLiteral("/api/v1/userInfo"),
                     { { QStringLiteral("userid"),
                         QStringLiteral("0123456789abcdef0123456789abcdef") } },
                     Signing::account())
                 .status,
        404);
    // User information is for the account pair only.
    QCOMPARE(m_client
                 ->signedJson("POST", QStringLiteral("/api/v1/userInfo"),
                     { { QStringLiteral("userid"), userId } })
                 .status,
        401);
}

void tst_QuorvelService::feedbackIsStored()
{
    const QString content = QStringLiteral("The zoom is too small \u4f60\u597d");
    const Reply stored = m_client->signedJson("PUT", QStringLiteral("/api/v1/feedback"),
        { { QStringLiteral("content"), content },
            { QStringLiteral("contact"), QStringLiteral("me@example.org") } },
        Signing::account());
    QCOMPARE(stored.status, 200);
    // Empty texts are sent as they are and stored too.
    QCOMPARE(m_client
                 ->signedJson("PUT", QStringLiteral("/api/v1/feedback"),
                     { { QStringLiteral("content"), QString() },
                         { QStringLiteral("contact"), QString() } },
                     Signing::account())
                 .status,
        200);
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"),
        { m_data.path() + QStringLiteral("/service.db"),
            QStringLiteral(
                "SELECT content, contact, created > 1700000000 FROM feedback ORDER BY id") });
    QVERIFY(sqlite.waitForFinished(10000));
    const QStringList rows = QString::fromUtf8(sqlite.readAllStandardOutput())
                                 .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0), content + QStringLiteral("|me@example.org|1"));
}

void tst_QuorvelService::stopsOnSigtermAndWithItsParent()
{
    QTemporaryDir data;
    {
        ServiceProcess service;
        QVERIFY(service.start(data.path()));
        QCOMPARE(service.terminate(), 0);
        QVERIFY(service.standardError().contains("stopped"));
    }
    QProcess parent;
    parent.start(QStringLiteral("sleep"), { QStringLiteral("60") });
    QVERIFY(parent.waitForStarted());
    ServiceProcess child;
    QVERIFY(child.start(
        data.path(), { QStringLiteral("--parent-pid"), QString::number(parent.processId()) }));
    parent.kill();
    parent.waitForFinished();
    QVERIFY2(child.waitForExit(5000), "the service outlived the process it watches");
    QCOMPARE(child.process().exitCode(), 0);
}

QTEST_MAIN(tst_QuorvelService)
#include "tst_QuorvelService.moc"

#include "ServiceTestClient.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFont>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include "TestUtils.h"

namespace ServiceTest {

const char *const kServiceKey = "ljxh4fzv1pou7s0ofb61qlt2odw7h5fr";
const char *const kServiceSecret = "ffjnywf33f4n5pa6t3ikxgc7peynwsu8";
const char *const kAccountKey = "yi2b8w8rvfudzi3qic0tj8y8ug6dr69p";
const char *const kAccountSecret = "3bjcrzan0pxluykvcwe0qm4m55vngk29";

QJsonObject Reply::json() const { return QJsonDocument::fromJson(body).object(); }

QByteArray Reply::header(const QByteArray &name) const
{
    for (const auto &pair : headers) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return {};
}

Signing Signing::account()
{
    Signing signing;
    signing.product = QStringLiteral("login");
    signing.appKey = QLatin1String(kAccountKey);
    signing.secret = QLatin1String(kAccountSecret);
    signing.clientType = QStringLiteral("pc-smslogin");
    signing.sessionId.clear();
    return signing;
}

Signing Signing::forProduct(const QString &product)
{
    Signing signing;
    signing.product = product;
    return signing;
}

QString gmtDate(const QDateTime &utc)
{
    static const char *const days[] = { "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun" };
    static const char *const months[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    const QDate d = utc.date();
    return QStringLiteral("%1,%2 %3 %4 %5 GMT")
        .arg(QLatin1String(days[d.dayOfWeek() - 1]))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(months[d.month() - 1]))
        .arg(d.year())
        .arg(utc.time().toString(QStringLiteral("hh:mm:ss")));
}

QString signatureFor(const QString &secret, const QString &text)
{
    return QString::fromLatin1(
        QMessageAuthenticationCode::hash(text.toUtf8(), secret.toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .toBase64());
}

Reply Client::run(QNetworkReply *reply)
{
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    Reply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    result.headers = reply->rawHeaderPairs();
    reply->deleteLater();
    return result;
}

Reply Client::signedRequest(const QByteArray &method, const QString &path, const QByteArray &body,
    const Signing &signing, const QByteArray &contentType)
{
    const QString date = gmtDate(signing.date);
    const QString text = QString::fromLatin1(method).toUpper() + QLatin1Char('\n')
        + QString::fromLatin1(contentType).toLower() + QLatin1Char('\n') + date + QLatin1Char('\n')
        + path + QLatin1Char('\n') + signing.appKey + QLatin1Char('\n')
        + signing.clientType.toLower() + QLatin1Char('\n') + signing.sessionId;
    QNetworkRequest request(QUrl(m_base + path, QUrl::TolerantMode));
    request.setRawHeader("Date", date.toLatin1());
    request.setRawHeader("token",
        QStringLiteral("lumistrand:%1:%2:%3")
            .arg(signing.product, signing.appKey, signatureFor(signing.secret, text))
            .toLatin1());
    request.setRawHeader("Client-Type", signing.clientType.toLatin1());
    request.setRawHeader("Content-type", contentType);
    request.setRawHeader("Cookie", "sid=" + signing.sessionId.toLatin1());
    if (method == "DELETE")
        return run(m_network.deleteResource(request));
    if (method == "PUT")
        return run(m_network.put(request, body));
    return run(m_network.post(request, body));
}

Reply Client::signedJson(
    const QByteArray &method, const QString &path, const QJsonObject &body, const Signing &signing)
{
    return signedRequest(method, path, QJsonDocument(body).toJson(QJsonDocument::Compact), signing);
}

Reply Client::get(const QString &url)
{
    return run(m_network.get(QNetworkRequest(QUrl(url, QUrl::TolerantMode))));
}

Reply Client::put(const QString &url, const QByteArray &data)
{
    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/ocet-stream"));
    request.setRawHeader("x-oss-meta-author", "lumistrand");
    return run(m_network.put(request, data));
}

Reply Client::postForm(const QString &url, const QByteArray &form)
{
    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    return run(m_network.post(request, form));
}

QString Client::uploadKey(const QString &category, const QByteArray &data, const QString &suffix)
{
    const QString md5
        = QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
    const QString uuid = QUuid::createUuid().toString();
    return category + QLatin1Char('/') + md5 + uuid
        + QString::number(QDateTime::currentSecsSinceEpoch()) + QLatin1Char('/') + uuid.mid(1, 6)
        + QLatin1Char('.') + suffix;
}

QString Client::submitJob(const QString &product, const QString &family, const QByteArray &data,
    const QString &suffix, QString *failure)
{
    const Signing signing = Signing::forProduct(product);
    const QString key = uploadKey(family, data, suffix);
    const Reply url = signedJson("POST", QStringLiteral("/api/v1/object/uploadurl"),
        { { QStringLiteral("key"), key } }, signing);
    const QString uploadUrl = url.json()
                                  .value(QStringLiteral("data"))
                                  .toObject()
                                  .value(QStringLiteral("url"))
                                  .toString();
    if (url.status != 200 || uploadUrl.isEmpty()) {
        *failure
            = QStringLiteral("upload URL: %1 %2").arg(url.status).arg(QString::fromUtf8(url.body));
        return {};
    }
    const Reply uploaded = put(uploadUrl, data);
    if (uploaded.status != 200) {
        *failure = QStringLiteral("PUT: %1 %2")
                       .arg(uploaded.status)
                       .arg(QString::fromUtf8(uploaded.body));
        return {};
    }
    QJsonObject body { { QStringLiteral("key"), key },
        { QStringLiteral("size"), double(data.size()) },
        { QStringLiteral("md5"),
            QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex()) },
        { QStringLiteral("type"), product } };
    if (product != QLatin1String("pic2txt") && family == QLatin1String("ocr"))
        body.insert(QStringLiteral("userId"), QStringLiteral("someone"));
    const Reply created
        = signedJson("POST", QStringLiteral("/api/v1/%1/images").arg(family), body, signing);
    const QString jobId = created.json()
                              .value(QStringLiteral("data"))
                              .toObject()
                              .value(QStringLiteral("jobid"))
                              .toString();
    if (created.status != 200 || jobId.isEmpty()) {
        *failure = QStringLiteral("create: %1 %2")
                       .arg(created.status)
                       .arg(QString::fromUtf8(created.body));
        return {};
    }
    return jobId;
}

QJsonObject Client::waitForJob(const QString &product, const QString &family, const QString &jobId,
    int timeoutMs, QList<int> *progressSeen)
{
    QDeadlineTimer deadline(timeoutMs);
    QJsonObject last;
    do {
        const Reply reply = signedJson("POST", QStringLiteral("/api/v1/%1/query").arg(family),
            { { QStringLiteral("jobid"), jobId } }, Signing::forProduct(product));
        last = reply.json();
        last.insert(QStringLiteral("httpStatus"), reply.status);
        if (reply.status != 200
            || last.value(QStringLiteral("status")) != QLatin1String("processing"))
            return last;
        if (progressSeen)
            progressSeen->append(last.value(QStringLiteral("progress")).toInt(-1));
        QThread::msleep(150);
    } while (!deadline.hasExpired());
    return last;
}

QByteArray Client::download(const QString &product, const QString &key, const QString &method)
{
    const Reply url = signedJson("POST", QStringLiteral("/api/v1/object/downloadurl"),
        { { QStringLiteral("key"), key }, { QStringLiteral("method"), method } },
        Signing::forProduct(product));
    if (url.status != 200)
        return {};
    const Reply bytes = get(url.json()
                                .value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("url"))
                                .toString());
    return bytes.status == 200 ? bytes.body : QByteArray();
}

QString serviceExecutable() { return QStringLiteral(QUORVEL_SERVICE); }

ServiceProcess::~ServiceProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ServiceProcess::start(
    const QString &dataDir, const QStringList &extraArgs, const QProcessEnvironment &env)
{
    m_process.setProcessEnvironment(env);
    m_process.setProgram(serviceExecutable());
    m_process.setArguments(QStringList { QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                               QStringLiteral("--data"), dataDir }
        + extraArgs);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return false;
    QByteArray line;
    QDeadlineTimer deadline(20000);
    while (
        !line.contains('\n') && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (m_process.waitForReadyRead(200))
            line += m_process.readAllStandardOutput();
    }
    const QByteArray prefix = "listening on http://127.0.0.1:";
    if (!line.startsWith(prefix))
        return false;
    m_port = line.mid(prefix.size()).trimmed().toInt();
    return m_port > 0;
}

QByteArray ServiceProcess::standardError()
{
    m_stderr += m_process.readAllStandardError();
    return m_stderr;
}

bool ServiceProcess::waitForExit(int timeoutMs)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
}

int ServiceProcess::terminate()
{
    m_process.terminate();
    if (!waitForExit(10000))
        return -1;
    standardError();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

void ServiceProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QImage renderText(const QStringList &lines, int pixelSize, int width)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    const int lineHeight = pixelSize * 2;
    QImage image(width, lineHeight * (lines.size() + 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(pixelSize, lineHeight * (i + 1), lines.at(i));
    return image;
}

QByteArray encode(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}

} // namespace ServiceTest

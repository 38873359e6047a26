#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QProcess>
#include <QString>

// A client of the service written for the tests from the wire protocol alone
// (not the application's client), and a launcher for the real executable.
namespace ServiceTest {

// The compiled-in pairs both sides share.
extern const char *const kServiceKey;
extern const char *const kServiceSecret;
extern const char *const kAccountKey;
extern const char *const kAccountSecret;

struct Reply
{
    int status = 0;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    QJsonObject json() const;
    QByteArray header(const QByteArray &name) const;
};

// How a signed request is built; tests change single fields to forge one.
struct Signing
{
    QString product = QStringLiteral("pic2txt");
    QString appKey = QLatin1String(kServiceKey);
    QString secret = QLatin1String(kServiceSecret);
    QString clientType = QStringLiteral("pc-lumistrand");
    QString sessionId = QStringLiteral("demo-sid");
    QDateTime date = QDateTime::currentDateTimeUtc();

    static Signing account();
    static Signing forProduct(const QString &product);
};

// "Wed,09 Dec 2026 00:50:02 GMT", English names whatever the locale.
QString gmtDate(const QDateTime &utc);
QString signatureFor(const QString &secret, const QString &text);

class Client
{
public:
    explicit Client(const QString &baseUrl)
        : m_base(baseUrl)
    {
    }

    // method is "POST", "PUT" or "DELETE"; a null body sends none.
    Reply signedRequest(const QByteArray &method, const QString &path, const QByteArray &body,
        const Signing &signing = Signing(), const QByteArray &contentType = "application/json");
    Reply signedJson(const QByteArray &method, const QString &path, const QJsonObject &body,
        const Signing &signing = Signing());
    Reply get(const QString &url);
    Reply put(const QString &url, const QByteArray &data);
    Reply postForm(const QString &url, const QByteArray &form);

    // The object key the client builds for an upload of `data` in `category`.
    static QString uploadKey(
        const QString &category, const QByteArray &data, const QString &suffix);

    // Upload URL, PUT, create job; returns the job id (empty on failure, with `failure` set).
    QString submitJob(const QString &product, const QString &family, const QByteArray &data,
        const QString &suffix, QString *failure);
    // Polls until the job leaves "processing"; returns the last reply's JSON.
    QJsonObject waitForJob(const QString &product, const QString &family, const QString &jobId,
        int timeoutMs, QList<int> *progressSeen = nullptr);
    // Download URL then GET; empty on failure.
    QByteArray download(const QString &product, const QString &key, const QString &method);

    const QString &baseUrl() const { return m_base; }

private:
    Reply run(QNetworkReply *reply);

    QString m_base;
    QNetworkAccessManager m_network;
};

// Runs build/quorvel-service on a free loopback port with its own data folder.
class ServiceProcess
{
public:
    ~ServiceProcess();
    bool start(const QString &dataDir, const QStringList &extraArgs = {},
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    int port() const { return m_port; }
    // SIGTERM and wait; returns the exit code (-1 when it did not exit in time).
    int terminate();
    void kill();
    bool waitForExit(int timeoutMs);
    QProcess &process() { return m_process; }
    QByteArray standardError();

private:
    QProcess m_process;
    int m_port = 0;
    QByteArray m_stderr;
};

QString serviceExecutable();

// Black text on white, the font size in pixels.
QImage renderText(const QStringList &lines, int pixelSize, int width);
QByteArray encode(const QImage &image, const char *format);

} // namespace ServiceTest

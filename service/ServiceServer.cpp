#include "ServiceServer.h"

#include <chrono>
#include <cstdio>
#include <fstream>

#include <fcntl.h>
#include <httplib.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUuid>

#include "JobRunner.h"
#include "LoginPages.h"
#include "RequestSignature.h"

namespace quorvel::service {

namespace {

constexpr std::int64_t kUrlLifetimeSeconds = 15 * 60;
constexpr std::int64_t kObjectLifetimeSeconds = 24 * 60 * 60;
constexpr std::size_t kMaxJsonBody = 256 * 1024;
constexpr int kMaxFeedbackChars = 20000;
constexpr int kMaxContactChars = 500;

thread_local std::chrono::steady_clock::time_point t_requestStarted;

std::int64_t nowSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void sendJson(httplib::Response &res, int status, const QJsonObject &body)
{
    res.status = status;
    res.set_content(
        QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

void sendError(httplib::Response &res, int status, const std::string &message)
{
    QJsonObject body;
    body.insert(QStringLiteral("code"), status);
    body.insert(QStringLiteral("message"), QString::fromStdString(message));
    sendJson(res, status, body);
}

void sendPage(httplib::Response &res, int status, const std::string &html)
{
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(html, "text/html; charset=utf-8");
}

// The request body as a JSON object; answers 400 (or 413) and returns false otherwise.
bool readJsonBody(const httplib::Request &req, httplib::Response &res, QJsonObject &object)
{
    if (req.body.size() > kMaxJsonBody) {
        sendError(res, 413, "request body too large");
        return false;
    }
    QJsonParseError parseError {};
    const QJsonDocument document
        = QJsonDocument::fromJson(QByteArray::fromStdString(req.body), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        sendError(res, 400, "the body is not a JSON object");
        return false;
    }
    object = document.object();
    return true;
}

// A member that must be a string; answers 400 when it is missing or not text.
bool requireString(
    const QJsonObject &object, const char *name, httplib::Response &res, std::string &value)
{
    const QJsonValue member = object.value(QLatin1String(name));
    if (!member.isString()) {
        sendError(res, 400, std::string("\"") + name + "\" must be a string");
        return false;
    }
    value = member.toString().toStdString();
    return true;
}

std::string newJobId() { return QUuid::createUuid().toRfc4122().toHex().toStdString(); }

bool isJobId(const std::string &text)
{
    return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string md5OfFile(const std::string &path)
{
    QFile file(QString::fromStdString(path));
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex().toStdString();
}

const char *contentTypeForSuffix(const std::string &suffix)
{
    std::string lower = suffix;
    for (char &c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "txt")
        return "text/plain; charset=utf-8";
    if (lower == "png")
        return "image/png";
    if (lower == "jpg" || lower == "jpeg")
        return "image/jpeg";
    if (lower == "bmp")
        return "image/bmp";
    if (lower == "webp")
        return "image/webp";
    if (lower == "tif" || lower == "tiff")
        return "image/tiff";
    if (lower == "docx")
        return "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
    if (lower == "xlsx")
        return "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
    return "application/octet-stream";
}

JobFamily familyFromPath(const std::string &segment)
{
    return segment == "ocr" ? JobFamily::Ocr : segment == "ai" ? JobFamily::Ai : JobFamily::None;
}

} // namespace

ServiceServer::ServiceServer(ServiceOptions options, ServiceKeys keys, EngineRegistry engines)
    : m_options(std::move(options))
    , m_keys(std::move(keys))
    , m_http(std::make_unique<httplib::Server>())
{
    m_runner = std::make_unique<JobRunner>(
        m_database, m_store, std::move(engines), [this](const std::string &line) { log(line); });
}

ServiceServer::~ServiceServer()
{
    stop();
    m_runner->stop();
}

void ServiceServer::log(const std::string &line)
{
    std::lock_guard<std::mutex> lock(m_logMutex);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

bool ServiceServer::open(std::string &error)
{
    if (!m_store.open(m_options.dataDir, error))
        return false;
    if (!m_database.open(m_options.dataDir + "/service.db", error))
        return false;

    // A generous pool: each keep-alive client holds a thread while connected.
    m_http->new_task_queue = [] { return new httplib::ThreadPool(32); };
    m_http->set_payload_max_length(std::size_t(m_options.maxUpload) + 1);
    // Small JSON answers on kept-alive connections: no Nagle delay, many requests per connection.
    m_http->set_tcp_nodelay(true);
    m_http->set_keep_alive_max_count(1000);
    m_http->set_read_timeout(30, 0);
    m_http->set_write_timeout(30, 0);
    installRoutes();

    if (m_options.port == 0) {
        m_port = m_http->bind_to_any_port(m_options.host);
    } else if (m_http->bind_to_port(m_options.host, m_options.port)) {
        m_port = m_options.port;
    }
    if (m_port <= 0) {
        error = "cannot listen on " + m_options.host + ":" + std::to_string(m_options.port);
        return false;
    }
    m_runner->start(m_options.workers);
    return true;
}

void ServiceServer::run()
{
    m_http->listen_after_bind();
    m_runner->stop();
}

void ServiceServer::stop()
{
    if (m_http)
        m_http->stop();
}

int ServiceServer::sweepObjects()
{
    const int removed = m_store.sweep(kObjectLifetimeSeconds, nowSeconds());
    if (removed > 0)
        log("removed " + std::to_string(removed) + " object(s) older than a day");
    return removed;
}

std::string ServiceServer::publicBase(const httplib::Request &req) const
{
    if (!m_options.publicUrl.empty())
        return m_options.publicUrl;
    std::string host = req.get_header_value("Host");
    if (host.empty() || host.find_first_of("/\\ @?#") != std::string::npos)
        host = m_options.host + ':' + std::to_string(m_port);
    return "http://" + host;
}

bool ServiceServer::authorise(
    const httplib::Request &req, httplib::Response &res, KeyPairKind pair, SignatureCheck &check)
{
    SignedRequest signedRequest;
    signedRequest.method = req.method;
    signedRequest.contentType = req.get_header_value("Content-Type");
    signedRequest.date = req.get_header_value("Date");
    signedRequest.path = req.path;
    signedRequest.token = req.get_header_value("token");
    signedRequest.clientType = req.get_header_value("Client-Type");
    signedRequest.cookie = req.get_header_value("Cookie");
    check = verifySignature(signedRequest, m_keys, nowSeconds());
    if (check.ok && check.product->pair != pair) {
        check.ok = false;
        check.error
            = std::string("product '") + check.product->name + "' cannot call this endpoint";
    }
    if (!check.ok) {
        log("refused " + req.method + " " + req.path + ": " + check.error);
        sendError(res, 401, check.error);
        return false;
    }
    return true;
}

void ServiceServer::installRoutes()
{
    httplib::Server &http = *m_http;
    const std::int64_t maxUpload = m_options.maxUpload;

    // Oversized uploads are refused from their headers, before any of the body is read.
    http.set_pre_routing_handler(
        [this, maxUpload](const httplib::Request &req, httplib::Response &res) {
            t_requestStarted = std::chrono::steady_clock::now();
            if (!req.has_header("Content-Length"))
                return httplib::Server::HandlerResponse::Unhandled;
            const std::string lengthText = req.get_header_value("Content-Length");
            const std::int64_t length = lengthText.size() <= 18
                    && lengthText.find_first_not_of("0123456789") == std::string::npos
                    && !lengthText.empty()
                ? std::stoll(lengthText)
                : -1;
            const bool upload = req.path == "/object/upload";
            const std::int64_t limit = upload ? maxUpload : std::int64_t(kMaxJsonBody);
            if (length < 0 || length > limit) {
                res.set_header("Connection", "close");
                sendError(res, length < 0 ? 400 : 413,
                    length < 0 ? "bad Content-Length"
                               : "the body is larger than the " + std::to_string(limit)
                            + " bytes this service accepts");
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
    http.set_logger([this](const httplib::Request &req, const httplib::Response &res) {
        const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - t_requestStarted)
                                .count();
        log(req.method + " " + req.path + " " + std::to_string(res.status) + " "
            + std::to_string(millis) + " ms");
    });
    http.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (res.body.empty()) {
            QJsonObject body;
            body.insert(QStringLiteral("code"), res.status);
            body.insert(QStringLiteral("message"),
                res.status == 404 ? QStringLiteral("no such endpoint")
                                  : QStringLiteral("request refused"));
            res.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                "application/json");
        }
    });
    http.set_exception_handler(
        [this](const httplib::Request &req, httplib::Response &res, std::exception_ptr error) {
            std::string what = "unknown error";
            try {
                if (error)
                    std::rethrow_exception(error);
            } catch (const std::exception &e) {
                what = e.what();
            } catch (...) {
            }
            log("error in " + req.method + " " + req.path + ": " + what);
            sendError(res, 500, "internal error");
        });

    http.Get("/healthz", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("ok\n", "text/plain");
    });
    installObjectRoutes();
    installJobRoutes();
    installAccountRoutes();
    installLoginRoutes();
}

void ServiceServer::installObjectRoutes()
{
    httplib::Server &http = *m_http;

    http.Post(
        "/api/v1/object/uploadurl", [this](const httplib::Request &req, httplib::Response &res) {
            SignatureCheck check;
            QJsonObject body;
            std::string key;
            if (!authorise(req, res, KeyPairKind::Service, check) || !readJsonBody(req, res, body)
                || !requireString(body, "key", res, key))
                return;
            if (!ObjectStore::isUploadKey(key)) {
                sendError(res, 400, "invalid object key");
                return;
            }
            if (ObjectStore::categoryOfKey(key) != categoryOf(check.product->family)) {
                sendError(res, 400, "the key's category does not match the product");
                return;
            }
            if (m_store.exists(key)) {
                sendError(res, 409, "an object with this key exists already");
                return;
            }
            QJsonObject data;
            data.insert(QStringLiteral("url"),
                QString::fromStdString(publicBase(req)
                    + m_store.presignedTarget("upload", key, nowSeconds() + kUrlLifetimeSeconds)));
            QJsonObject reply;
            reply.insert(QStringLiteral("code"), 0);
            reply.insert(QStringLiteral("data"), data);
            sendJson(res, 200, reply);
        });

    http.Put("/object/upload",
        [this](const httplib::Request &req, httplib::Response &res,
            const httplib::ContentReader &content) {
            const std::string key = req.get_param_value("key");
            const auto urlCheck = m_store.checkPresigned("upload", key,
                req.get_param_value("expires"), req.get_param_value("signature"), nowSeconds());
            if (urlCheck != ObjectStore::UrlCheck::Ok) {
                res.set_header("Connection", "close");
                sendError(res, 403,
                    urlCheck == ObjectStore::UrlCheck::Expired ? "the upload URL has expired"
                                                               : "the upload URL is not valid");
                return;
            }
            if (!ObjectStore::isUploadKey(key)) {
                res.set_header("Connection", "close");
                sendError(res, 400, "invalid object key");
                return;
            }
            if (m_store.exists(key)) {
                res.set_header("Connection", "close");
                sendError(res, 409, "an object with this key exists already");
                return;
            }
            const std::string temp = m_store.newTempPath();
            const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0) {
                sendError(res, 507, "cannot store the upload");
                return;
            }
            std::int64_t received = 0;
            bool tooLarge = false;
            bool writeFailed = false;
            const std::int64_t limit = m_options.maxUpload;
            const bool complete = content([&](const char *data, std::size_t length) {
                received += std::int64_t(length);
                if (received > limit) {
                    tooLarge = true;
                    return false;
                }
                while (length > 0) {
                    const ssize_t written = ::write(fd, data, length);
                    if (written < 0 && errno == EINTR)
                        continue;
                    if (written <= 0) {
                        writeFailed = true;
                        return false;
                    }
                    data += written;
                    length -= std::size_t(written);
                }
                return true;
            });
            const bool synced = !writeFailed && ::fsync(fd) == 0;
            ::close(fd);
            if (tooLarge || writeFailed || !complete || !synced) {
                ::unlink(temp.c_str());
                res.set_header("Connection", "close");
                if (tooLarge)
                    sendError(res, 413, "the upload is larger than this service accepts");
                else if (writeFailed || !synced)
                    sendError(res, 507, "cannot store the upload (disk full?)");
                else
                    sendError(res, 400, "the upload ended early");
                return;
            }
            std::string error;
            if (!m_store.commitTemp(temp, key, error)) {
                sendError(res, 409, "cannot store the upload: " + error);
                return;
            }
            QJsonObject reply;
            reply.insert(QStringLiteral("code"), 0);
            reply.insert(QStringLiteral("size"), double(received));
            sendJson(res, 200, reply);
        });

    http.Post(
        "/api/v1/object/downloadurl", [this](const httplib::Request &req, httplib::Response &res) {
            SignatureCheck check;
            QJsonObject body;
            std::string key, method;
            if (!authorise(req, res, KeyPairKind::Service, check) || !readJsonBody(req, res, body)
                || !requireString(body, "key", res, key)
                || !requireString(body, "method", res, method))
                return;
            if (!ObjectStore::isValidKey(key)) {
                sendError(res, 400, "invalid object key");
                return;
            }
            if (method != categoryOf(check.product->family)
                || ObjectStore::categoryOfKey(key) != method) {
                sendError(res, 400, "\"method\" does not match the key or the product");
                return;
            }
            if (!m_store.exists(key)) {
                sendError(res, 404, "no such object");
                return;
            }
            QJsonObject data;
            data.insert(QStringLiteral("url"),
                QString::fromStdString(publicBase(req)
                    + m_store.presignedTarget(
                        "download", key, nowSeconds() + kUrlLifetimeSeconds)));
            QJsonObject reply;
            reply.insert(QStringLiteral("code"), 0);
            reply.insert(QStringLiteral("data"), data);
            sendJson(res, 200, reply);
        });

    http.Get("/object/download", [this](const httplib::Request &req, httplib::Response &res) {
        const std::string key = req.get_param_value("key");
        const auto urlCheck = m_store.checkPresigned("download", key,
            req.get_param_value("expires"), req.get_param_value("signature"), nowSeconds());
        if (urlCheck != ObjectStore::UrlCheck::Ok) {
            sendError(res, 403,
                urlCheck == ObjectStore::UrlCheck::Expired ? "the download URL has expired"
                                                           : "the download URL is not valid");
            return;
        }
        std::string bytes;
        if (!m_store.read(key, bytes)) {
            sendError(res, 404, "no such object");
            return;
        }
        res.set_content(bytes, contentTypeForSuffix(ObjectStore::suffixOfKey(key)));
    });
}

void ServiceServer::installJobRoutes()
{
    httplib::Server &http = *m_http;

    http.Post(
        R"(/api/v1/(ocr|ai)/images)", [this](const httplib::Request &req, httplib::Response &res) {
            SignatureCheck check;
            QJsonObject body;
            std::string key, type, md5;
            if (!authorise(req, res, KeyPairKind::Service, check) || !readJsonBody(req, res, body)
                || !requireString(body, "key", res, key) || !requireString(body, "type", res, type)
                || !requireString(body, "md5", res, md5))
                return;
            const JobFamily family = familyFromPath(req.matches[1]);
            if (check.product->family != family || type != check.product->name) {
                sendError(res, 400, "\"type\" must be the signed product of this job family");
                return;
            }
            const QJsonValue sizeValue = body.value(QStringLiteral("size"));
            if (!sizeValue.isDouble() || sizeValue.toDouble() < 0) {
                sendError(res, 400, "\"size\" must be a number of bytes");
                return;
            }
            if (!ObjectStore::isUploadKey(key)
                || ObjectStore::categoryOfKey(key) != categoryOf(family)) {
                sendError(res, 400, "invalid object key");
                return;
            }
            const std::int64_t size = m_store.sizeOf(key);
            if (size < 0) {
                sendError(res, 404, "the object has not been uploaded");
                return;
            }
            if (double(size) != sizeValue.toDouble()) {
                sendError(res, 400, "\"size\" does not match the uploaded object");
                return;
            }
            if (md5 != md5OfFile(m_store.pathFor(key))) {
                sendError(res, 400, "\"md5\" does not match the uploaded object");
                return;
            }
            JobRecord job;
            job.id = newJobId();
            job.product = check.product->name;
            job.family = categoryOf(family);
            job.inputKey = key;
            job.userId = body.value(QStringLiteral("userId")).toString().left(128).toStdString();
            if (!m_database.insertJob(job)) {
                sendError(res, 500, "cannot record the job");
                return;
            }
            m_runner->wake();
            log("job " + job.id + " " + job.product + " accepted for " + key);
            QJsonObject data;
            data.insert(QStringLiteral("jobid"), QString::fromStdString(job.id));
            QJsonObject reply;
            reply.insert(QStringLiteral("code"), 0);
            reply.insert(QStringLiteral("data"), data);
            sendJson(res, 200, reply);
        });

    http.Post(
        R"(/api/v1/(ocr|ai)/query)", [this](const httplib::Request &req, httplib::Response &res) {
            SignatureCheck check;
            QJsonObject body;
            std::string jobId;
            if (!authorise(req, res, KeyPairKind::Service, check) || !readJsonBody(req, res, body)
                || !requireString(body, "jobid", res, jobId))
                return;
            const std::string family = categoryOf(familyFromPath(req.matches[1]));
            const auto job = isJobId(jobId) ? m_database.job(jobId) : std::nullopt;
            if (!job || job->family != family) {
                sendError(res, 404, "no such job");
                return;
            }
            QJsonObject reply;
            reply.insert(QStringLiteral("jobid"), QString::fromStdString(job->id));
            switch (job->state) {
            case JobState::Queued:
            case JobState::Running:
                reply.insert(QStringLiteral("status"), QStringLiteral("processing"));
                reply.insert(QStringLiteral("code"), 0);
                reply.insert(QStringLiteral("progress"), job->progress);
                break;
            case JobState::Success:
                // A result that has since left the store is no success any more.
                if (!m_store.exists(job->resultKey)
                    || (!job->previewKey.empty() && !m_store.exists(job->previewKey))) {
                    reply.insert(QStringLiteral("status"), QStringLiteral("failed"));
                    reply.insert(QStringLiteral("code"), kJobResultMissing);
                    reply.insert(QStringLiteral("reason"),
                        QStringLiteral("result-expired: the result is no longer stored"));
                    break;
                }
                {
                    QJsonObject result;
                    result.insert(QStringLiteral("key"), QString::fromStdString(job->resultKey));
                    result.insert(
                        QStringLiteral("previewImage"), QString::fromStdString(job->previewKey));
                    reply.insert(QStringLiteral("status"), QStringLiteral("success"));
                    reply.insert(QStringLiteral("code"), 0);
                    reply.insert(QStringLiteral("progress"), 100);
                    reply.insert(QStringLiteral("result"), result);
                }
                break;
            case JobState::Failed:
                reply.insert(QStringLiteral("status"), QStringLiteral("failed"));
                reply.insert(QStringLiteral("code"), job->code);
                reply.insert(QStringLiteral("reason"), QString::fromStdString(job->reason));
                break;
            }
            sendJson(res, 200, reply);
        });

    http.Delete(
        R"(/api/v1/cancel/([^/]*))", [this](const httplib::Request &req, httplib::Response &res) {
            SignatureCheck check;
            if (!authorise(req, res, KeyPairKind::Service, check))
                return;
            const std::string jobId = req.matches[1];
            const auto job = isJobId(jobId) ? m_database.job(jobId) : std::nullopt;
            if (!job) {
                sendError(res, 404, "no such job");
                return;
            }
            if (!m_runner->cancel(jobId)) {
                sendError(res, 409, "the job has ended already");
                return;
            }
            log("job " + jobId + " cancel requested");
            QJsonObject reply;
            reply.insert(QStringLiteral("code"), 0);
            reply.insert(QStringLiteral("status"), QStringLiteral("failed"));
            sendJson(res, 200, reply);
        });
}

void ServiceServer::installAccountRoutes()
{
    httplib::Server &http = *m_http;

    http.Post("/api/v1/userInfo", [this](const httplib::Request &req, httplib::Response &res) {
        SignatureCheck check;
        QJsonObject body;
        std::string userId;
        if (!authorise(req, res, KeyPairKind::Account, check) || !readJsonBody(req, res, body)
            || !requireString(body, "userid", res, userId))
            return;
        const auto user = isJobId(userId) ? m_database.user(userId) : std::nullopt;
        if (!user) {
            sendError(res, 404, "unknown user");
            return;
        }
        QJsonObject reply;
        reply.insert(QStringLiteral("code"), 0);
        reply.insert(QStringLiteral("userid"), QString::fromStdString(user->id));
        reply.insert(QStringLiteral("username"), QString::fromStdString(user->name));
        reply.insert(QStringLiteral("avatar"),
            QString::fromStdString(publicBase(req) + "/avatar/" + user->id + ".png"));
        sendJson(res, 200, reply);
    });

    http.Put("/api/v1/feedback", [this](const httplib::Request &req, httplib::Response &res) {
        SignatureCheck check;
        QJsonObject body;
        std::string content, contact;
        if (!authorise(req, res, KeyPairKind::Account, check) || !readJsonBody(req, res, body)
            || !requireString(body, "content", res, content)
            || !requireString(body, "contact", res, contact))
            return;
        if (QString::fromStdString(content).size() > kMaxFeedbackChars
            || QString::fromStdString(contact).size() > kMaxContactChars) {
            sendError(res, 413, "the feedback is too long");
            return;
        }
        if (!m_database.addFeedback(content, contact, check.sessionId, nowSeconds())) {
            sendError(res, 500, "cannot store the feedback");
            return;
        }
        log("feedback stored (" + std::to_string(content.size()) + " bytes)");
        QJsonObject reply;
        reply.insert(QStringLiteral("code"), 0);
        sendJson(res, 200, reply);
    });

    http.Get(R"(/avatar/([0-9a-f]{32})\.png)",
        [this](const httplib::Request &req, httplib::Response &res) {
            const auto user = m_database.user(req.matches[1]);
            if (!user) {
                sendError(res, 404, "unknown user");
                return;
            }
            res.set_header("Cache-Control", "max-age=86400");
            res.set_content(avatarPng(user->id, user->name), "image/png");
        });
}

bool ServiceServer::redirectAllowed(
    const httplib::Request &req, const std::string &redirectUri) const
{
    // Only this service's own callback page: a sign-in never hands a code elsewhere.
    const QUrl url(QString::fromStdString(redirectUri), QUrl::StrictMode);
    if (!url.isValid()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        || url.path() != QLatin1String("/qq/callback") || !url.userInfo().isEmpty())
        return false;
    const QUrl base(QString::fromStdString(publicBase(req)));
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    return url.host().compare(base.host(), Qt::CaseInsensitive) == 0
        && url.port(defaultPort) == base.port(80);
}

void ServiceServer::installLoginRoutes()
{
    httplib::Server &http = *m_http;

    auto checkAuthorizeRequest = [this](const httplib::Request &req, httplib::Response &res) {
        if (req.get_param_value("response_type") != "code"
            || req.get_param_value("client_id") != kLoginAppId) {
            sendPage(res, 400,
                messagePage("Sign-in not possible",
                    "This sign-in request does not come from a known application."));
            return false;
        }
        if (!redirectAllowed(req, req.get_param_value("redirect_uri"))) {
            sendPage(res, 400,
                messagePage("Sign-in not possible",
                    "This sign-in request asks to return to an unknown page."));
            return false;
        }
        return true;
    };

    http.Get("/oauth2.0/authorize",
        [checkAuthorizeRequest](const httplib::Request &req, httplib::Response &res) {
            if (!checkAuthorizeRequest(req, res))
                return;
            sendPage(res, 200,
                signInPage(req.get_param_value("client_id"), req.get_param_value("redirect_uri"),
                    req.get_param_value("state"), {}));
        });

    http.Post("/oauth2.0/authorize",
        [this, checkAuthorizeRequest](const httplib::Request &req, httplib::Response &res) {
            if (!checkAuthorizeRequest(req, res))
                return;
            const std::string redirectUri = req.get_param_value("redirect_uri");
            const std::string state = req.get_param_value("state");
            std::string name
                = QString::fromStdString(req.get_param_value("name")).trimmed().toStdString();
            if (!isAcceptableName(name)) {
                sendPage(res, 400,
                    signInPage(req.get_param_value("client_id"), redirectUri, state,
                        "Please enter a name of 1 to 64 characters."));
                return;
            }
            const UserRecord user = m_database.findOrCreateUser(name);
            const std::string code = user.id.empty()
                ? std::string()
                : m_database.createLoginCode(user.id, nowSeconds() + 300);
            if (code.empty()) {
                sendPage(res, 500, messagePage("Sign-in failed", "Please try again."));
                return;
            }
            log("user " + user.id + " signed in");
            std::string target = redirectUri
                + (redirectUri.find('?') == std::string::npos ? "?" : "&") + "code=" + code;
            if (!state.empty())
                target += "&state="
                    + QUrl::toPercentEncoding(QString::fromStdString(state)).toStdString();
            res.set_redirect(target, 302);
        });

    http.Get("/qq/callback", [this](const httplib::Request &req, httplib::Response &res) {
        const auto userId = m_database.takeLoginCode(req.get_param_value("code"), nowSeconds());
        const auto user = userId ? m_database.user(*userId) : std::nullopt;
        if (!user) {
            sendPage(res, 400,
                messagePage(
                    "Sign-in expired", "This sign-in link has expired. Please sign in again."));
            return;
        }
        sendPage(res, 200, callbackPage(user->name, user->id));
    });
}

} // namespace quorvel::service

#include "ServiceServer.h"

#include <chrono>
#include <cstdio>

#include <fcntl.h>
#include <httplib.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include "HttpReplies.h"
#include "JobRunner.h"
#include "RequestSignature.h"

namespace quorvel::service {

namespace {

constexpr std::int64_t kUrlLifetimeSeconds = 15 * 60;
constexpr std::int64_t kObjectLifetimeSeconds = 24 * 60 * 60;

thread_local std::chrono::steady_clock::time_point t_requestStarted;

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

} // namespace quorvel::service

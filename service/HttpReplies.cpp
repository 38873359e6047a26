#include "HttpReplies.h"

#include <chrono>

#include <httplib.h>

#include <QJsonDocument>

namespace quorvel::service {

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

bool isHexId(const std::string &text)
{
    return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

} // namespace quorvel::service

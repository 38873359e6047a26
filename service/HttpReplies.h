#pragma once

#include <cstdint>
#include <string>

#include <QJsonObject>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

// Small helpers every route of the service uses to read requests and answer
// them. Free functions, safe on any thread.
namespace quorvel::service {

// JSON bodies of the API are small; anything larger is refused.
constexpr std::size_t kMaxJsonBody = 256 * 1024;

std::int64_t nowSeconds();
void sendJson(httplib::Response &res, int status, const QJsonObject &body);
// {"code": status, "message": message}
void sendError(httplib::Response &res, int status, const std::string &message);
void sendPage(httplib::Response &res, int status, const std::string &html);
// The request body as a JSON object; answers 400 (or 413) and returns false otherwise.
bool readJsonBody(const httplib::Request &req, httplib::Response &res, QJsonObject &object);
// A member that must be a string; answers 400 when it is missing or not text.
bool requireString(
    const QJsonObject &object, const char *name, httplib::Response &res, std::string &value);
// 32 lower-case hex digits: the shape of job and user ids.
bool isHexId(const std::string &text);

} // namespace quorvel::service

#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ServiceKeys.h"
#include "ServiceProducts.h"

// Checks the keyed-hash signature every API request carries. The client signs
// seven lines (method, content type, Date, path, app key, client type, session
// id) with HMAC-SHA1 under the app secret and sends
// "token: lumistrand:<product>:<app key>:<base64 of the hex digest>".
// Pure functions, safe on any thread.
namespace quorvel::service {

// The headers and request line the signature covers, as received.
struct SignedRequest
{
    std::string method; // "POST", "PUT", "DELETE"
    std::string contentType; // "Content-Type" header
    std::string date; // "Date" header
    std::string path; // request path without query
    std::string token; // "token" header
    std::string clientType; // "Client-Type" header
    std::string cookie; // "Cookie" header
};

struct SignatureCheck
{
    bool ok = false;
    std::string error; // why it was refused (for the 401 body and the log)
    const ServiceProduct *product = nullptr; // the product named in the token
    std::string sessionId; // the "sid" cookie
};

// The seven lines joined by "\n", method upper-cased, content and client types lower-cased.
std::string stringToSign(const std::string &method, const std::string &contentType,
    const std::string &date, const std::string &path, const std::string &appKey,
    const std::string &clientType, const std::string &sessionId);

// Base64 of the lower-case hex HMAC-SHA1 digest (56 characters).
std::string signatureFor(const std::string &secret, const std::string &text);

// "Wed,09 Dec 2026 00:50:02 GMT" (a blank after the comma is tolerated) -> seconds since 1970.
std::optional<std::int64_t> parseServiceDate(const std::string &date);

// The value of the "sid" cookie in a Cookie header, empty when absent.
std::string sessionIdFromCookie(const std::string &cookieHeader);

// Compares in time that depends only on the lengths.
bool constantTimeEquals(const std::string &a, const std::string &b);

// A Date further than this from the server clock is refused.
constexpr std::int64_t kMaxClockSkewSeconds = 15 * 60;

SignatureCheck verifySignature(
    const SignedRequest &request, const ServiceKeys &keys, std::int64_t nowSeconds);

} // namespace quorvel::service

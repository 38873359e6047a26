#include "RequestSignature.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>

#include <QByteArray>
#include <QMessageAuthenticationCode>

namespace quorvel::service {

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
        [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
        [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

int indexOfName(const char *const *names, int count, const std::string &name)
{
    for (int i = 0; i < count; ++i) {
        if (name == names[i])
            return i;
    }
    return -1;
}

bool readNumber(const std::string &text, std::size_t pos, std::size_t digits, int &value)
{
    if (pos + digits > text.size())
        return false;
    value = 0;
    for (std::size_t i = pos; i < pos + digits; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

std::string stringToSign(const std::string &method, const std::string &contentType,
    const std::string &date, const std::string &path, const std::string &appKey,
    const std::string &clientType, const std::string &sessionId)
{
    return upper(method) + '\n' + lower(contentType) + '\n' + date + '\n' + path + '\n' + appKey
        + '\n' + lower(clientType) + '\n' + sessionId;
}

std::string signatureFor(const std::string &secret, const std::string &text)
{
    const QByteArray digest = QMessageAuthenticationCode::hash(QByteArray::fromStdString(text),
        QByteArray::fromStdString(secret), QCryptographicHash::Sha1);
    return digest.toHex().toBase64().toStdString();
}

std::optional<std::int64_t> parseServiceDate(const std::string &date)
{
    static const char *const kDays[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    static const char *const kMonths[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    // "Wed,09 Dec 2026 00:50:02 GMT"
    if (date.size() < 28 || date[3] != ',')
        return std::nullopt;
    if (indexOfName(kDays, 7, date.substr(0, 3)) < 0)
        return std::nullopt;
    std::size_t pos = 4;
    if (date[pos] == ' ')
        ++pos;
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!readNumber(date, pos, 2, day) || date.size() != pos + 24)
        return std::nullopt;
    const int month = indexOfName(kMonths, 12, date.substr(pos + 3, 3));
    if (date[pos + 2] != ' ' || month < 0 || date[pos + 6] != ' '
        || !readNumber(date, pos + 7, 4, year) || date[pos + 11] != ' '
        || !readNumber(date, pos + 12, 2, hour) || date[pos + 14] != ':'
        || !readNumber(date, pos + 15, 2, minute) || date[pos + 17] != ':'
        || !readNumber(date, pos + 18, 2, second) || date.compare(pos + 20, 4, " GMT") != 0)
        return std::nullopt;
    if (day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return std::int64_t(timegm(&parts));
}

std::string sessionIdFromCookie(const std::string &cookieHeader)
{
    std::size_t start = 0;
    while (start <= cookieHeader.size()) {
        std::size_t end = cookieHeader.find(';', start);
        if (end == std::string::npos)
            end = cookieHeader.size();
        const std::string pair = trimmed(cookieHeader.substr(start, end - start));
        if (pair.compare(0, 4, "sid=") == 0)
            return pair.substr(4);
        start = end + 1;
    }
    return {};
}

bool constantTimeEquals(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

SignatureCheck verifySignature(
    const SignedRequest &request, const ServiceKeys &keys, std::int64_t nowSeconds)
{
    SignatureCheck check;
    // token = "lumistrand:<product>:<app key>:<signature>"
    const std::string prefix = "lumistrand:";
    if (request.token.compare(0, prefix.size(), prefix) != 0) {
        check.error = "missing or malformed token header";
        return check;
    }
    const std::string rest = request.token.substr(prefix.size());
    const auto firstColon = rest.find(':');
    const auto secondColon
        = firstColon == std::string::npos ? std::string::npos : rest.find(':', firstColon + 1);
    if (secondColon == std::string::npos) {
        check.error = "malformed token header";
        return check;
    }
    const std::string productName = rest.substr(0, firstColon);
    const std::string appKey = rest.substr(firstColon + 1, secondColon - firstColon - 1);
    const std::string signature = rest.substr(secondColon + 1);

    const ServiceProduct *product = productByName(productName);
    if (!product) {
        check.error = "unknown product '" + productName + "'";
        return check;
    }
    const KeyPair &pair = keys.pairFor(product->pair);
    if (!constantTimeEquals(appKey, pair.key)) {
        check.error = "app key does not belong to product '" + productName + "'";
        return check;
    }
    const auto date = parseServiceDate(request.date);
    if (!date) {
        check.error = "missing or malformed Date header";
        return check;
    }
    if (*date > nowSeconds + kMaxClockSkewSeconds || *date < nowSeconds - kMaxClockSkewSeconds) {
        check.error = "Date is more than 15 minutes away from the server clock";
        return check;
    }
    const std::string sessionId = sessionIdFromCookie(request.cookie);
    const std::string expected = signatureFor(pair.secret,
        stringToSign(request.method, request.contentType, request.date, request.path, appKey,
            request.clientType, sessionId));
    if (!constantTimeEquals(signature, expected)) {
        check.error = "signature mismatch";
        return check;
    }
    check.ok = true;
    check.product = product;
    check.sessionId = sessionId;
    return check;
}

} // namespace quorvel::service

#pragma once

#include <QDateTime>
#include <QString>

// The pieces of a signed service request. Pure functions, any thread.
namespace RequestSigning {

// "Wed,09 Dec 2026 00:50:02 GMT": English names whatever the locale, no blank
// after the comma.
QString gmtDate(const QDateTime &utc);
QString gmtDate();

// The seven lines the signature covers, joined by line feeds with none at the end.
QString stringToSign(const QString &method, const QString &contentType, const QString &date,
    const QString &path, const QString &appKey, const QString &clientType,
    const QString &sessionId);

// Base64 of the lower-case hex HMAC-SHA1 of text under secret (56 characters).
QString hmacSignature(const QString &secret, const QString &text);

} // namespace RequestSigning

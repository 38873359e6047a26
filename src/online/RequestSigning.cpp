#include "RequestSigning.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QStringList>

namespace RequestSigning {

QString gmtDate(const QDateTime &utc)
{
    static const char *const days[] = { "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun" };
    static const char *const months[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    const QDateTime t = utc.toUTC();
    const QDate d = t.date();
    const QTime time = t.time();
    return QStringLiteral("%1,%2 %3 %4 %5 GMT")
        .arg(QLatin1String(days[d.dayOfWeek() - 1]))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(months[d.month() - 1]))
        .arg(d.year())
        .arg(QStringLiteral("%1:%2:%3")
                 .arg(time.hour(), 2, 10, QLatin1Char('0'))
                 .arg(time.minute(), 2, 10, QLatin1Char('0'))
                 .arg(time.second(), 2, 10, QLatin1Char('0')));
}

QString gmtDate() { return gmtDate(QDateTime::currentDateTimeUtc()); }

QString stringToSign(const QString &method, const QString &contentType, const QString &date,
    const QString &path, const QString &appKey, const QString &clientType, const QString &sessionId)
{
    return QStringList { method.toUpper(), contentType.toLower(), date, path, appKey,
        clientType.toLower(), sessionId }
        .join(QLatin1Char('\n'));
}

QString hmacSignature(const QString &secret, const QString &text)
{
    const QByteArray digest = QMessageAuthenticationCode::hash(
        text.toUtf8(), secret.toUtf8(), QCryptographicHash::Sha1);
    return QString::fromLatin1(digest.toHex().toBase64());
}

} // namespace RequestSigning

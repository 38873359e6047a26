// The signature check of API requests, in-process.

#include <QtTest>

#include "RequestSignature.h"

using namespace quorvel::service;

namespace {

constexpr std::int64_t kDecember9 = 1796777402; // Wed,09 Dec 2026 00:50:02 GMT

SignedRequest signedQuery(const KeyPair &pair, const std::string &product, const std::string &date,
    const std::string &sessionId)
{
    SignedRequest request;
    request.method = "POST";
    request.contentType = "application/json";
    request.date = date;
    request.path = "/api/v1/ocr/query";
    request.clientType = product == "login" ? "pc-smslogin" : "pc-lumistrand";
    request.cookie = "sid=" + sessionId;
    request.token = "lumistrand:" + product + ":" + pair.key + ":"
        + signatureFor(pair.secret,
            stringToSign("post", request.contentType, date, request.path, pair.key,
                request.clientType, sessionId));
    return request;
}

} // namespace

class tst_RequestSignature : public QObject
{
    Q_OBJECT

private slots:
    void knownAnswer();
    void signedTextShape();
    void dates_data();
    void dates();
    void verify_data();
    void verify();
};

void tst_RequestSignature::knownAnswer()
{
    // Computed independently with another HMAC-SHA1 implementation.
    const std::string text
        = stringToSign("post", "application/json", "Wed,09 Dec 2026 00:50:02 GMT",
            "/api/v1/ocr/query", "ljxh4fzv1pou7s0ofb61qlt2odw7h5fr", "pc-lumistrand", "demo-sid");
    QCOMPARE(signatureFor("ffjnywf33f4n5pa6t3ikxgc7peynwsu8", text),
        std::string("N2Q1ZjQ1MzcyZTJjYzEyYTE3MGU5MjVhZDkyZjAwYWIzNGIyZWU0Yw=="));
}

void tst_RequestSignature::signedTextShape()
{
    // Seven lines; an empty session id leaves a final line feed; case rules per line.
    const std::string text = stringToSign(
        "delete", "Application/X-WWW-Form-Urlencoded", "D", "/p", "KeY", "PC-Lumistrand", "");
    QCOMPARE(text,
        std::string("DELETE\napplication/x-www-form-urlencoded\nD\n/p\nKeY\npc-lumistrand\n"));
    QCOMPARE(sessionIdFromCookie("a=1; sid=demo-sid; b=2"), std::string("demo-sid"));
    QCOMPARE(sessionIdFromCookie("sid="), std::string());
    QCOMPARE(sessionIdFromCookie(""), std::string());
}

void tst_RequestSignature::dates_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<qint64>("seconds"); // -1: refused
    QTest::newRow("no blank after the comma")
        << "Wed,09 Dec 2026 00:50:02 GMT" << qint64(kDecember9);
    QTest::newRow("blank after the comma") << "Wed, 09 Dec 2026 00:50:02 GMT" << qint64(kDecember9);
    QTest::newRow("localised month") << "Wed,09 Dez 2026 00:50:02 GMT" << qint64(-1);
    QTest::newRow("one-digit day") << "Wed,9 Dec 2026 00:50:02 GMT" << qint64(-1);
    QTest::newRow("not GMT") << "Wed,09 Dec 2026 00:50:02 CET" << qint64(-1);
    QTest::newRow("hour 24") << "Wed,09 Dec 2026 24:50:02 GMT" << qint64(-1);
    QTest::newRow("trailing text") << "Wed,09 Dec 2026 00:50:02 GMTX" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
}

void tst_RequestSignature::dates()
{
    QFETCH(QString, date);
    QFETCH(qint64, seconds);
    const auto parsed = parseServiceDate(date.toStdString());
    QCOMPARE(parsed ? qint64(*parsed) : qint64(-1), seconds);
}

void tst_RequestSignature::verify_data()
{
    QTest::addColumn<QString>("forgery");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("as the client signs") << "" << true;
    QTest::newRow("account pair for login") << "account" << true;
    QTest::newRow("14 minutes slow") << "slow 14" << true;
    QTest::newRow("16 minutes slow") << "slow 16" << false;
    QTest::newRow("16 minutes fast") << "fast 16" << false;
    QTest::newRow("service key signing for login") << "login with service pair" << false;
    QTest::newRow("account key signing for pic2txt") << "pic2txt with account pair" << false;
    QTest::newRow("other session id than signed") << "cookie" << false;
    QTest::newRow("other client type than signed") << "client type" << false;
    QTest::newRow("signature cut short") << "short" << false;
    QTest::newRow("token without product") << "token" << false;
}

void tst_RequestSignature::verify()
{
    QFETCH(QString, forgery);
    QFETCH(bool, accepted);
    const ServiceKeys keys = ServiceKeys::defaults();
    const std::string date = "Wed,09 Dec 2026 00:50:02 GMT";
    std::int64_t now = kDecember9;
    SignedRequest request = signedQuery(keys.service, "pic2txt", date, "demo-sid");
    if (forgery == QLatin1String("account"))
        request = signedQuery(keys.account, "login", date, "");
    else if (forgery == QLatin1String("slow 14"))
        now += 14 * 60;
    else if (forgery == QLatin1String("slow 16"))
        now += 16 * 60;
    else if (forgery == QLatin1String("fast 16"))
        now -= 16 * 60;
    else if (forgery == QLatin1String("login with service pair"))
        request = signedQuery(keys.service, "login", date, "");
    else if (forgery == QLatin1String("pic2txt with account pair"))
        request = signedQuery(keys.account, "pic2txt", date, "");
    else if (forgery == QLatin1String("cookie"))
        request.cookie = "sid=other";
    else if (forgery == QLatin1String("client type"))
        request.clientType = "pc-smslogin";
    else if (forgery == QLatin1String("short"))
        request.token.pop_back();
    else if (forgery == QLatin1String("token"))
        request.token = "lumistrand:" + keys.service.key;
    const SignatureCheck check = verifySignature(request, keys, now);
    QVERIFY2(check.ok == accepted, check.error.c_str());
    QVERIFY(check.ok || !check.error.empty());
}

QTEST_GUILESS_MAIN(tst_RequestSignature)
#include "tst_RequestSignature.moc"

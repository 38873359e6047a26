#include "ServiceTypes.h"

#include <QByteArray>

namespace ServiceTypes {

namespace {

QString fromEnv(const char *name, const char *fallback)
{
    const QByteArray value = qgetenv(name);
    return value.isEmpty() ? QString::fromLatin1(fallback) : QString::fromUtf8(value);
}

} // namespace

KeyPair servicePair()
{
    return { fromEnv("QUORVEL_SERVICE_KEY", "ljxh4fzv1pou7s0ofb61qlt2odw7h5fr"),
        fromEnv("QUORVEL_SERVICE_SECRET", "ffjnywf33f4n5pa6t3ikxgc7peynwsu8") };
}

KeyPair accountPair()
{
    return { fromEnv("QUORVEL_ACCOUNT_KEY", "yi2b8w8rvfudzi3qic0tj8y8ug6dr69p"),
        fromEnv("QUORVEL_ACCOUNT_SECRET", "3bjcrzan0pxluykvcwe0qm4m55vngk29") };
}

Row row(int type)
{
    static const char *const products[] = { "pic2txt", "pic2word", "pic2xlsx", "table2word",
        "table2xls", "picenhance", "piccolor", "picstretchstore" };
    Row r;
    if (type >= 0 && type <= 7) {
        r.valid = true;
        r.product = QString::fromLatin1(products[type]);
        r.clientType = QStringLiteral("pc-lumistrand");
        r.keys = servicePair();
        r.family = type <= 4 ? OcrFamily : AiFamily;
        r.category = type <= 4 ? QStringLiteral("ocr") : QStringLiteral("ai");
    } else if (type == 9) {
        r.valid = true;
        r.product = QStringLiteral("login");
        r.clientType = QStringLiteral("pc-smslogin");
        r.keys = accountPair();
    }
    return r;
}

} // namespace ServiceTypes

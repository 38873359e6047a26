#include "ServiceEndpoint.h"

#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QStandardPaths>

#include "app/AppPaths.h"
#include "online/BundledService.h"

namespace ServiceEndpoint {

QString bundledDataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/quorvel/service");
}

QString baseUrl()
{
    const QByteArray configured = qgetenv("QUORVEL_SERVICE_URL");
    if (!configured.isEmpty()) {
        QString url = QString::fromUtf8(configured);
        while (url.endsWith(QLatin1Char('/')))
            url.chop(1);
        return url;
    }

    static QPointer<BundledService> service;
    static bool failed = false;
    if (failed || !QCoreApplication::instance())
        return QString();
    if (!service)
        service = new BundledService(QCoreApplication::instance());
    const QString program = appDir() + QDir::separator() + QStringLiteral("quorvel-service");
    const QString url = service->ensureRunning(program, bundledDataDir(), 15000);
    if (url.isEmpty()) {
        // Said once; every online action then fails through its own error path.
        failed = true;
        std::fprintf(stderr, "quorvel: the online service is not available: %s\n",
            qPrintable(service->errorString()));
    }
    return url;
}

} // namespace ServiceEndpoint

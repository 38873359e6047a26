#include "NetworkReach.h"

#include <QNetworkReply>

namespace NetworkReach {

bool isUnreachable(const QNetworkReply *reply)
{
    if (!reply || reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return false;
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

} // namespace NetworkReach

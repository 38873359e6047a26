#pragma once

#include <QStandardPaths>
#include <QStringList>

// Where the batch tools create their run folders: the desktop locations
// joined without a separator (normally just the user's desktop).
inline QString batchOutputRoot()
{
    return QStandardPaths::standardLocations(QStandardPaths::DesktopLocation).join(QString());
}

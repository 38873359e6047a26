#include "BatchNaming.h"

#include <QFileInfo>
#include <QHash>

namespace BatchNaming {

QString baseName(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString outputName(const QString &path, const QString &ext)
{
    return baseName(path) + QLatin1Char('.') + ext;
}

QVector<QVector<QPair<QString, int>>> groupByBaseName(const QStringList &files)
{
    QVector<QVector<QPair<QString, int>>> groups;
    QHash<QString, int> groupOf;
    for (int row = 0; row < files.size(); ++row) {
        const QString key = baseName(files[row]);
        auto it = groupOf.constFind(key);
        if (it == groupOf.constEnd()) {
            groupOf.insert(key, groups.size());
            groups.append({ { files[row], row } });
        } else {
            groups[it.value()].append({ files[row], row });
        }
    }
    return groups;
}

} // namespace BatchNaming

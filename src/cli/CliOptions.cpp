#include "CliOptions.h"

#include <QFileInfo>
#include <QStringList>

#include "batch/BatchNaming.h"
#include "codec/ImageFormats.h"

namespace CliOptions {

int outputFormatIndex(const QString &text)
{
    QString name = text.trimmed().toLower();
    if (name == QLatin1String("jpeg"))
        name = QStringLiteral("jpg");
    else if (name == QLatin1String("tiff"))
        name = QStringLiteral("tif");
    for (int index = 0;; ++index) {
        const QString extension = outputExtension(index);
        if (extension.isEmpty())
            return -1;
        if (extension == name)
            return index;
    }
}

QString outputFormatChoices() { return QStringLiteral("jpg, png, bmp, webp or tif"); }

bool readOutputFormat(const QString &value, int *format, QString *error)
{
    *format = outputFormatIndex(value);
    if (*format >= 0)
        return true;
    *error = QStringLiteral("--to: unknown format '%1' (%2)").arg(value, outputFormatChoices());
    return false;
}

bool isImageFile(const QString &path)
{
    return ImageFormats::global().isKnownExtension(
        ImageFormats::extensionOf(QFileInfo(path).fileName()));
}

bool readInt(const QString &text, int min, int max, int *value)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok, 10);
    if (!ok || number < min || number > max)
        return false;
    *value = number;
    return true;
}

QVector<QVector<QPair<QString, int>>> groupByBaseName(const QVector<QPair<QString, int>> &files)
{
    QStringList paths;
    for (const auto &file : files)
        paths.append(file.first);
    // The batch tools' own grouping, on positions in this list; the rows of
    // the run are put back afterwards.
    QVector<QVector<QPair<QString, int>>> groups = BatchNaming::groupByBaseName(paths);
    for (auto &group : groups) {
        for (auto &member : group)
            member.second = files.at(member.second).second;
    }
    return groups;
}

} // namespace CliOptions

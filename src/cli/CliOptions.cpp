#include "CliOptions.h"

#include <QFileInfo>
#include <QStringList>

#include "batch/BatchNaming.h"
#include "codec/ImageFormats.h"

namespace CliOptions {

QString outputFormatChoices() { return QStringLiteral("jpg, png, bmp, webp or tif"); }

bool readOutputFormat(const QString &value, OutputFormat *format, QString *error)
{
    if (const std::optional<OutputFormat> named = outputFormatNamed(value)) {
        *format = *named;
        return true;
    }
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

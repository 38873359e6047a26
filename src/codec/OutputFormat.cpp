#include "OutputFormat.h"

#include <iterator>

namespace {

constexpr OutputFormat kFormats[] = { OutputFormat::Jpg, OutputFormat::Png, OutputFormat::Bmp,
    OutputFormat::Webp, OutputFormat::Tif };

} // namespace

std::optional<OutputFormat> outputFormatAt(int index)
{
    if (index < 0 || index >= int(std::size(kFormats)))
        return std::nullopt;
    return kFormats[index];
}

QString outputExtension(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Jpg:
        return QStringLiteral("jpg");
    case OutputFormat::Png:
        return QStringLiteral("png");
    case OutputFormat::Bmp:
        return QStringLiteral("bmp");
    case OutputFormat::Webp:
        return QStringLiteral("webp");
    case OutputFormat::Tif:
        return QStringLiteral("tif");
    }
    return QString();
}

std::optional<OutputFormat> outputFormatNamed(const QString &name)
{
    QString text = name.trimmed().toLower();
    if (text == QLatin1String("jpeg"))
        text = QStringLiteral("jpg");
    else if (text == QLatin1String("tiff"))
        text = QStringLiteral("tif");
    for (const OutputFormat format : kFormats) {
        if (outputExtension(format) == text)
            return format;
    }
    return std::nullopt;
}

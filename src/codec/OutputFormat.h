#pragma once

#include <optional>

#include <QMetaType>
#include <QString>

// The formats the tools write. The order is the order of the interface's
// format buttons and lists, which hand over a plain index: outputFormatAt()
// is the one place that index becomes a format.
enum class OutputFormat { Jpg, Png, Bmp, Webp, Tif };

// The format of a format button id or list index (0 jpg, 1 png, 2 bmp,
// 3 webp, 4 tif); nothing for any other index.
std::optional<OutputFormat> outputFormatAt(int index);

// The extension written for a format: "jpg", "png", "bmp", "webp" or "tif".
QString outputExtension(OutputFormat format);

// The format of an extension or a format name, case-insensitive, "jpeg" and
// "tiff" included; nothing for anything else.
std::optional<OutputFormat> outputFormatNamed(const QString &name);

Q_DECLARE_METATYPE(OutputFormat)

#pragma once

#include <QImage>
#include <QString>

// Plain-word reasons for a failed input, found after an engine has reported
// the failure (the engines report only that a file failed). Safe to call
// from any thread; each call uses its own decoder.
namespace FailureReasons {

// "no such file", "cannot be read: ...", "the file is empty"; empty when the
// file can be read.
QString fileProblem(const QString &path);

// Why nothing can be written into dir; empty when it is a writable folder.
QString outputProblem(const QString &dir);

// Decodes the file as the engines do. Empty when it decodes (frame then
// holds its first frame), otherwise why not: an unknown file type, or a
// file that is damaged or not the image its name says.
QString imageProblem(const QString &path, QImage *frame = nullptr);

// "JPG", "PNG", ... for an output extension.
QString formatName(const QString &extension);

} // namespace FailureReasons

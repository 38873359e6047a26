#pragma once

#include <QImage>
#include <QString>

// Plain-word reasons for a failed input whose engine gave none (the engines
// say why a file failed in their records). They look at the file and the
// folder only; nothing is decoded a second time. Any thread.
namespace FailureReasons {

// "no such file", "cannot be read: ...", "the file is empty"; empty when the
// file can be read.
QString fileProblem(const QString &path);

// Why nothing can be written into dir; empty when it is a writable folder.
QString outputProblem(const QString &dir);

// "JPG", "PNG", ... for an output extension.
QString formatName(const QString &extension);

} // namespace FailureReasons

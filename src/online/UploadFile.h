#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

// One input file of an online job, built by the views from a file on disk.
struct UploadFile
{
    QString name; // file name with extension, no folder
    QString suffix; // characters after the last "."
    QByteArray data; // whole file content
    qint64 size = 0; // byte count

    // Reads the file; an unreadable file gives an UploadFile with empty name.
    static UploadFile fromPath(const QString &path);
};

Q_DECLARE_METATYPE(UploadFile)

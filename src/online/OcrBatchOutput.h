#pragma once

#include <QByteArray>
#include <QString>

// Where the results of a recognition batch go: one file per source named
// after it (scan.png -> scan.png.txt), or, for combined text, one text file
// named after the first source that holds every result so far in list order.
// Every write goes through a temporary name, so a file a row points to is
// always complete; a file that cannot be written is reported, never left
// half-written. Used on one thread at a time.
class OcrBatchOutput
{
public:
    // folder: the run folder (it must exist); extension: "txt", "docx" or
    // "xlsx"; firstName: the first source's file name, for the combined text.
    void begin(
        const QString &folder, const QString &extension, bool combine, const QString &firstName);

    // Writes the result of the source at path. Returns the file that now holds
    // it, or empty with the reason in *error.
    QString write(const QString &path, const QByteArray &data, QString *error);

    bool combines() const { return m_combine; }
    QString combinedPath() const { return m_combinedPath; }
    QByteArray combinedText() const { return m_combinedText; }

private:
    QString writeNew(const QString &name, const QByteArray &bytes, QString *error);

    QString m_folder;
    QString m_extension;
    bool m_combine = false;
    QString m_firstName;
    QString m_combinedPath;
    QByteArray m_combinedText;
};

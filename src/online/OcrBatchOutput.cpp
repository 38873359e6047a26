#include "OcrBatchOutput.h"

#include <QFileInfo>

#include "app/FileUtils.h"

void OcrBatchOutput::begin(
    const QString &folder, const QString &extension, bool combine, const QString &firstName)
{
    m_folder = folder;
    m_extension = extension;
    m_combine = combine;
    m_firstName = firstName;
    // A new batch never carries text over from an earlier one.
    m_combinedPath.clear();
    m_combinedText.clear();
}

QString OcrBatchOutput::writeNew(const QString &name, const QByteArray &bytes, QString *error)
{
    QString reason;
    const QString target = reserveUniqueFilePath(m_folder, name, m_extension, &reason);
    if (target.isEmpty()) {
        if (error)
            *error = reason;
        return QString();
    }
    if (!writeFileAtomically(target, bytes, &reason)) {
        releaseReservedPath(target);
        if (error)
            *error = reason;
        return QString();
    }
    return target;
}

QString OcrBatchOutput::write(const QString &path, const QByteArray &data, QString *error)
{
    if (!m_combine) {
        // The name keeps the source's own extension: scan.png -> scan.png.txt.
        return writeNew(QFileInfo(path).fileName() + QLatin1Char('.') + m_extension, data, error);
    }
    // The combined file is rewritten whole after every result, so it is
    // complete (and in list order) whenever a row points to it.
    const QByteArray text = m_combinedText + data;
    if (m_combinedPath.isEmpty()) {
        m_combinedPath = writeNew(m_firstName + QLatin1Char('.') + m_extension, text, error);
        if (m_combinedPath.isEmpty())
            return QString();
    } else {
        QString reason;
        if (!writeFileAtomically(m_combinedPath, text, &reason)) {
            if (error)
                *error = reason;
            return QString();
        }
    }
    m_combinedText = text;
    return m_combinedPath;
}

#pragma once

#include "cli/KCliOnlineCommand.h"

// "enhance": one AI operation of the online service on every input, one job
// after the other: contrast enhancement, colouring of black and white photos
// or stretch recovery. The result keeps the source's name and, when the
// service returns that format, its extension.
class KCliEnhanceCommand : public KCliOnlineCommand
{
public:
    QString name() const override;
    QString summary() const override;
    QString synopsis() const override;
    QString details() const override;
    QString runFolderName() const override;
    void addOptions(QCommandLineParser *parser) const override;
    bool configure(const QCommandLineParser &parser, QString *error) override;

    int serviceType() const override;
    QSize uploadSize(const QSize &imageSize, qint64 fileBytes) const override;
    QString writeResult(const QString &input, const QByteArray &data, const QString &outputDir,
        QString *error) override;

private:
    int m_type = 5;
};

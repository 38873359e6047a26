#pragma once

#include "cli/KCliOnlineCommand.h"
#include "online/OcrBatchOutput.h"

// "ocr": text, Word or Excel recognition of every input by the online
// service, one job after the other. Outputs are named after the source file
// (scan.png gives scan.png.txt), or with --combine all texts go, in list
// order, into one file named after the first input.
class KCliOcrCommand : public KCliOnlineCommand
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
    void beginRun(const QStringList &inputs) override;

private:
    QString m_extension = QStringLiteral("txt");
    bool m_table = false;
    bool m_combine = false;
    QString m_combinedName;
    // Named and written as the batch recognition view does; set up by the
    // first result of a run, when the output folder is known.
    OcrBatchOutput m_output;
    bool m_outputReady = false;
};

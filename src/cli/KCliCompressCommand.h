#pragma once

#include "cli/KCliCommand.h"

// "compress": every input re-encoded as JPEG at a fixed quality, or as the
// best quality below a size limit (shrinking the picture only when quality
// 10 does not fit), through the batch compression task. Files sharing a base
// name go to one task; groups run in parallel on the run's pool.
class KCliCompressCommand : public KCliCommand
{
public:
    QString name() const override;
    QString summary() const override;
    QString synopsis() const override;
    QString runFolderName() const override;
    void addOptions(QCommandLineParser *parser) const override;
    bool configure(const QCommandLineParser &parser, QString *error) override;
    bool takesFromFolder(const QString &path) const override;
    void start(KCliRun *run) override;
    QString explainFailure(const QString &input, const QString &outputDir) const override;

private:
    int m_quality = 0;
    int m_sizeValue = 0;
    int m_sizeUnit = 0;
};

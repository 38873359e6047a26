#pragma once

#include "cli/KCliCommand.h"
#include "codec/OutputFormat.h"

// "convert": every input becomes one image in the chosen format, through the
// conversion tool's task (first frame only; JPG and BMP flattened onto white,
// alpha kept elsewhere). One task per file on the run's pool.
class KCliConvertCommand : public KCliCommand
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
    OutputFormat m_format = OutputFormat::Jpg;
};

#pragma once

#include "cli/KCliCommand.h"
#include "codec/OutputFormat.h"

// "rotate": every input turned a quarter left or right, mirrored, or turned
// by any angle (corners white, or transparent where the format keeps alpha),
// through the batch rotate task. Files sharing a base name go to one task.
class KCliRotateCommand : public KCliCommand
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
    int m_type = 0;
    int m_angle = 0;
    OutputFormat m_format = OutputFormat::Jpg;
};

#pragma once

#include "batch/ResizeParams.h"
#include "cli/KCliCommand.h"
#include "codec/OutputFormat.h"

// "resize": every input scaled by pixels (ratio kept unless told), by a
// percentage or to a preset photo size, through the batch resize task.
// Files sharing a base name go to one task; groups run in parallel.
class KCliResizeCommand : public KCliCommand
{
public:
    QString name() const override;
    QString summary() const override;
    QString synopsis() const override;
    QString details() const override;
    QString runFolderName() const override;
    void addOptions(QCommandLineParser *parser) const override;
    bool configure(const QCommandLineParser &parser, QString *error) override;
    bool takesFromFolder(const QString &path) const override;
    void start(KCliRun *run) override;
    QString explainFailure(const QString &input, const QString &outputDir) const override;

    // The batch resize tool's preset photo and web sizes, by number (0..8),
    // with their names; an invalid size past the end.
    static QSize presetSize(int index);
    static QString presetName(int index);

private:
    ResizeParams m_params;
    OutputFormat m_format = OutputFormat::Jpg;
};

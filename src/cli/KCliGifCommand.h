#pragma once

#include <QLibrary>

#include "GifConverterApi.h"
#include "cli/KCliCommand.h"
#include "cli/KCliGifTask.h"

// "gif": animated GIFs made smaller by resizing, dropping frames and
// reducing colours, through the GIF converter library beside the program.
// The library is loaded once, in prepare(), and stays loaded for the run.
class KCliGifCommand : public KCliCommand
{
public:
    QString name() const override;
    QString summary() const override;
    QString synopsis() const override;
    QString runFolderName() const override;
    void addOptions(QCommandLineParser *parser) const override;
    bool configure(const QCommandLineParser &parser, QString *error) override;
    bool takesFromFolder(const QString &path) const override;
    bool prepare(QString *error) override;
    void start(KCliRun *run) override;
    QString explainFailure(const QString &input, const QString &outputDir) const override;

private:
    GifCompressRequest m_request;
    QLibrary m_library;
    GifConverterFunction m_convert = nullptr;
    GifReleaseFunction m_release = nullptr;
};

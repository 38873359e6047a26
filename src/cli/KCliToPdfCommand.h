#pragma once

#include "cli/KCliCommand.h"

// "topdf": images into one A4 PDF each, or into one combined PDF, optionally
// protected by a password read from a file, through the image-to-PDF
// converter. One PDF per image splits the inputs over up to -j converter
// threads; a combined PDF is made by one.
class KCliToPdfCommand : public KCliCommand
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
    bool m_combined = false;
    QString m_password;
};

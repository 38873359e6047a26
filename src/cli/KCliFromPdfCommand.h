#pragma once

#include "cli/KCliCommand.h"
#include "codec/OutputFormat.h"
#include "pdf/SelectPageItem.h"

// "frompdf": the chosen pages of PDFs (all, odd, even or a list such as
// 1,3-5) as images, through the PDF-to-image converter and the page
// renderer library beside the program. The selected pages of all documents
// are shared out over up to -j converter threads; a long document is cut
// into runs of pages, each converted by its own thread, and counts as
// written when any of its pages was.
class KCliFromPdfCommand : public KCliCommand
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
    int m_mode = SelectPageItem::AllPages;
    QString m_pages; // the list, for specific pages
    OutputFormat m_format = OutputFormat::Jpg;
};

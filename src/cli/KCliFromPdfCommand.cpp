#include "KCliFromPdfCommand.h"

#include <climits>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QMap>

#include "cli/CliOptions.h"
#include "cli/FailureReasons.h"
#include "cli/KCliRun.h"
#include "codec/OutputFormat.h"
#include "pdf/KPdf2ImageConverterThread.h"
#include "pdf/KPdf2ImageProxy.h"
#include "pdf/PageSelection.h"

namespace {

// One selected page, and which of the user's ranges it came from (every
// page its own for all/odd/even), so that a run of pages cut out of a
// document keeps the user's ranges.
struct PageUnit
{
    int page;
    int range;
};

struct Document
{
    QString path;
    int row = -1;
    int pageCount = 0;
    SelectPageItem selection; // as chosen, with its count
    QVector<PageUnit> units; // the pages it selects, in order
};

// A run of a document's pages as the converter takes it: specific pages.
SelectPageItem sliceSelection(const QVector<PageUnit> &units, int pageCount)
{
    SelectPageItem item;
    item.mode = SelectPageItem::SpecificPages;
    for (int i = 0; i < units.size(); ++i) {
        const PageUnit &unit = units[i];
        if (i > 0 && units[i - 1].range == unit.range && units[i - 1].page + 1 == unit.page)
            item.ranges.last().second = unit.page;
        else
            item.ranges.append({ unit.page, unit.page });
    }
    return PageSelection::normalized(item, pageCount);
}

} // namespace

QString KCliFromPdfCommand::name() const { return QStringLiteral("frompdf"); }

QString KCliFromPdfCommand::summary() const { return QStringLiteral("turn PDF pages into images"); }

QString KCliFromPdfCommand::synopsis() const
{
    return QStringLiteral("[--pages all|odd|even|LIST] [--to FORMAT] [options] FILE|FOLDER...");
}

QString KCliFromPdfCommand::runFolderName() const { return QStringLiteral("Pdf2Image"); }

void KCliFromPdfCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption({ QStringLiteral("pages"),
        QStringLiteral("Pages to convert: all (default), odd, even, or a list "
                       "of pages and ranges such as 1,3-5. Images are named "
                       "<document>-<page>."),
        QStringLiteral("pages"), QStringLiteral("all") });
    parser->addOption({ QStringLiteral("to"),
        QStringLiteral("Image format: %1 (default jpg).").arg(CliOptions::outputFormatChoices()),
        QStringLiteral("format"), QStringLiteral("jpg") });
}

bool KCliFromPdfCommand::configure(const QCommandLineParser &parser, QString *error)
{
    if (!CliOptions::readOutputFormat(parser.value(QStringLiteral("to")), &m_format, error))
        return false;
    const QString pages = parser.value(QStringLiteral("pages")).trimmed();
    m_pages.clear();
    if (pages.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
        m_mode = SelectPageItem::AllPages;
        return true;
    }
    if (pages.compare(QLatin1String("odd"), Qt::CaseInsensitive) == 0) {
        m_mode = SelectPageItem::OddPages;
        return true;
    }
    if (pages.compare(QLatin1String("even"), Qt::CaseInsensitive) == 0) {
        m_mode = SelectPageItem::EvenPages;
        return true;
    }
    // The page dialog's reading of the list; the documents' page counts are
    // checked per file once they are known.
    const PageSelection::ParsedRanges parsed = PageSelection::parseRanges(pages, INT_MAX);
    switch (parsed.error) {
    case PageSelection::RangeError::None:
        break;
    case PageSelection::RangeError::BeginExceedsEnd:
        *error = QStringLiteral("--pages: a range in '%1' ends before it begins").arg(pages);
        return false;
    case PageSelection::RangeError::ExceedsPageSum:
        *error = QStringLiteral("--pages: a page number in '%1' is too large").arg(pages);
        return false;
    default:
        *error = QStringLiteral("--pages: '%1' is not all, odd, even or a list such as 1,3-5")
                     .arg(pages);
        return false;
    }
    if (parsed.ranges.isEmpty()) {
        *error = QStringLiteral("--pages: no page given");
        return false;
    }
    for (const SelectPageItem::Range &range : parsed.ranges) {
        if (range.first < 1) {
            *error = QStringLiteral("--pages: pages are numbered from 1 ('%1')").arg(pages);
            return false;
        }
    }
    m_mode = SelectPageItem::SpecificPages;
    m_pages = pages;
    return true;
}

bool KCliFromPdfCommand::takesFromFolder(const QString &path) const
{
    return QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
}

bool KCliFromPdfCommand::prepare(QString *error)
{
    if (KPdf2ImageProxy::instance()->isLoaded())
        return true;
    *error = QStringLiteral("the PDF page renderer %1 cannot be loaded")
                 .arg(KPdf2ImageProxy::defaultLibraryPath());
    return false;
}

void KCliFromPdfCommand::start(KCliRun *run)
{
    const KPdf2ImageProxy *proxy = KPdf2ImageProxy::instance();
    QVector<Document> documents;
    int totalPages = 0;
    for (const auto &input : run->pendingInputs()) {
        Document document;
        document.path = input.first;
        document.row = input.second;
        document.pageCount = proxy->pageCount(document.path, QString());
        if (document.pageCount < 0) {
            run->failRow(document.row, KPdf2ImageProxy::errorText(document.pageCount));
            continue;
        }
        SelectPageItem item;
        item.mode = m_mode;
        if (m_mode == SelectPageItem::SpecificPages) {
            const PageSelection::ParsedRanges parsed
                = PageSelection::parseRanges(m_pages, document.pageCount);
            if (parsed.error != PageSelection::RangeError::None) {
                run->failRow(document.row,
                    QStringLiteral("the pages %1 are not all in the document, which has %2 "
                                   "page(s); nothing was written for it")
                        .arg(m_pages)
                        .arg(document.pageCount));
                continue;
            }
            item.text = m_pages;
            item.ranges = parsed.ranges;
        }
        document.selection = PageSelection::normalized(item, document.pageCount);
        if (m_mode == SelectPageItem::SpecificPages) {
            for (int r = 0; r < document.selection.ranges.size(); ++r) {
                const SelectPageItem::Range range = document.selection.ranges[r];
                for (int page = range.first; page <= range.second && page <= document.pageCount;
                     ++page)
                    document.units.append({ page, r });
            }
        } else {
            const int first = m_mode == SelectPageItem::EvenPages ? 1 : 0;
            const int step = m_mode == SelectPageItem::AllPages ? 1 : 2;
            for (int n = first; n < document.pageCount; n += step)
                document.units.append({ n + 1, n });
        }
        if (document.units.isEmpty()) {
            run->failRow(document.row,
                document.pageCount == 0
                    ? QStringLiteral("the document has no pages")
                    : QStringLiteral("the document (%1 pages) has none of the chosen pages")
                          .arg(document.pageCount));
            continue;
        }
        totalPages += document.units.size();
        documents.append(document);
    }
    if (documents.isEmpty())
        return;

    // Runs of at most `chunk` pages, each to the least busy thread that has
    // no other run of the same document (a document has at most `threads`
    // runs, so there always is one).
    const int threads = qBound(1, run->jobs(), totalPages);
    const int chunk = (totalPages + threads - 1) / threads;
    struct Share
    {
        QStringList files;
        QMap<QString, SelectPageItem> selections;
        QVector<QPair<int, int>> targets; // converter index -> (row, part)
        int pages = 0;
    };
    QVector<Share> shares(threads);
    for (const Document &document : qAsConst(documents)) {
        const int parts = (document.units.size() + chunk - 1) / chunk;
        run->setParts(document.row, parts);
        QVector<bool> used(threads, false);
        for (int part = 0; part < parts; ++part) {
            const QVector<PageUnit> units = document.units.mid(part * chunk, chunk);
            int best = -1;
            for (int t = 0; t < threads; ++t) {
                if (!used[t] && (best < 0 || shares[t].pages < shares[best].pages))
                    best = t;
            }
            used[best] = true;
            Share &share = shares[best];
            share.files.append(document.path);
            // A document in one piece keeps the selection as chosen.
            share.selections.insert(document.path,
                parts == 1 ? document.selection : sliceSelection(units, document.pageCount));
            share.targets.append({ document.row, part });
            share.pages += units.size();
        }
    }

    const QString extension = outputExtension(m_format);
    for (const Share &share : qAsConst(shares)) {
        if (share.files.isEmpty())
            continue;
        auto *converter = new KPdf2ImageConverterThread(
            run->outputDir(), share.files, extension, share.selections);
        run->adoptThread(converter);
        const QVector<QPair<int, int>> targets = share.targets;
        // Queued to the interface thread; the converter's file index becomes
        // the run's row and part.
        QObject::connect(converter, &KPdf2ImageConverterThread::stateChanged, run,
            [run, targets](BatchResult result) {
                if (result.index < 0 || result.index >= targets.size())
                    return;
                const QPair<int, int> target = targets[result.index];
                result.index = target.first;
                run->onPartStatusChanged(result, target.second);
            });
        converter->start();
    }
}

QString KCliFromPdfCommand::explainFailure(const QString &input, const QString &outputDir) const
{
    QString reason = FailureReasons::fileProblem(input);
    if (reason.isEmpty()) {
        const int pages = KPdf2ImageProxy::instance()->pageCount(input, QString());
        if (pages < 0)
            reason = KPdf2ImageProxy::errorText(pages);
    }
    if (reason.isEmpty())
        reason = FailureReasons::outputProblem(outputDir);
    if (reason.isEmpty())
        reason = QStringLiteral("not all of its pages could be written as %1")
                     .arg(FailureReasons::formatName(outputExtension(m_format)));
    return reason;
}

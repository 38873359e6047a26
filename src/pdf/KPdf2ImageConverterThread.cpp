#include "KPdf2ImageConverterThread.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>

#include "app/FileUtils.h"
#include "pdf/KPdf2ImageProxy.h"
#include "pdf/PageSelection.h"

namespace {

bool isOutputExtension(const QString &extension)
{
    static const QStringList known { QStringLiteral("jpg"), QStringLiteral("png"),
        QStringLiteral("bmp"), QStringLiteral("webp"), QStringLiteral("tif") };
    return known.contains(extension);
}

int percent(int done, int wanted)
{
    if (wanted <= 0)
        return 100;
    return std::min(100, int(done * 100.0 / wanted));
}

} // namespace

KPdf2ImageConverterThread::KPdf2ImageConverterThread(const QString &runFolder,
    const QStringList &files, const QString &extension,
    const QMap<QString, SelectPageItem> &selections, QObject *parent)
    : QThread(parent)
    , m_runFolder(runFolder)
    , m_files(files)
    , m_extension(extension)
    , m_selections(selections)
{
    registerWorkerMetaTypes();
    registerSelectPageItemMetaType();
}

KPdf2ImageConverterThread::~KPdf2ImageConverterThread()
{
    requestInterruption();
    wait();
}

void KPdf2ImageConverterThread::run()
{
    for (int i = 0; i < m_files.size(); ++i) {
        if (isInterruptionRequested())
            return;
        convertFile(i);
    }
}

void KPdf2ImageConverterThread::convertFile(int index)
{
    const KPdf2ImageProxy *proxy = KPdf2ImageProxy::instance();
    const QString path = m_files.at(index);
    const SelectPageItem selection = m_selections.value(path);
    emit stateChanged({ index, BatchResult::Processing, QString(), QString() });
    // One open document for all its pages: the cost is linear in the pages.
    const KPdf2ImageProxy::Document document(proxy, path, QString());
    const int total = document.pageCount();

    // The page number goes into the name before the suffix; passing the
    // suffix along keeps a base name with dots ("scan.v2") whole when the
    // name is reserved.
    const QString baseName = QFileInfo(path).completeBaseName();
    const bool canWrite = isOutputExtension(m_extension) && !m_runFolder.isEmpty();
    QString resultPath;
    QString reason; // why the last page that failed did
    int done = 0;
    int failed = 0;

    // Renders one page into a freshly reserved name; the reservation is
    // given back either way (a written page is in place by then).
    auto renderPage = [this, &document, baseName, &reason](int page) -> QString {
        const QString name = baseName + QLatin1Char('-') + QString::number(page);
        const QString out = reserveUniqueFilePath(
            m_runFolder, name + QLatin1Char('.') + m_extension, m_extension, &reason);
        if (out.isEmpty())
            return QString();
        const bool ok = document.renderPage(page, out, &reason);
        releaseReservedPath(out);
        if (ok)
            return out;
        // The renderer only says it could not write; the folder says why.
        if (reason == KPdf2ImageProxy::errorText(KPdf2ImageProxy::CannotWrite)) {
            const QString why = folderWriteProblem(m_runFolder);
            if (!why.isEmpty())
                reason = why;
        }
        return QString();
    };

    QVector<int> pages;
    int wanted = 0; // as chosen, pages beyond the end included: the progress scale
    if (total > 0 && canWrite && selection.mode == SelectPageItem::SpecificPages) {
        // The row merges its ranges; merging again keeps a page that two
        // ranges share from being written twice if it did not. Page numbers
        // outside the document (0 is accepted by the page dialog) are
        // skipped without touching their neighbours.
        const QList<SelectPageItem::Range> ranges = PageSelection::mergeRanges(selection.ranges);
        wanted = PageSelection::rangePageCount(ranges);
        for (const SelectPageItem::Range &range : ranges) {
            for (int page = qMax(1, range.first); page <= range.second && page <= total; ++page)
                pages.append(page);
        }
    } else if (total > 0 && canWrite && selection.mode >= SelectPageItem::AllPages
        && selection.mode <= SelectPageItem::EvenPages) {
        // Counted from the document as it is now rather than from the row's
        // count, which is 0 until the file list fills it in.
        const int first = selection.mode == SelectPageItem::EvenPages ? 1 : 0;
        const int step = selection.mode == SelectPageItem::AllPages ? 1 : 2;
        for (int n = first; n < total; n += step)
            pages.append(n + 1);
        wanted = pages.size();
    }

    // A page that fails does not stop the others; the document only counts
    // as converted when every chosen page was written.
    for (int page : qAsConst(pages)) {
        if (isInterruptionRequested())
            break;
        const QString out = renderPage(page);
        if (out.isEmpty())
            ++failed;
        else if (resultPath.isEmpty())
            resultPath = out;
        ++done; // a failed page still counts for the progress
        emit processChanged({ index, percent(done, wanted) });
    }

    if (resultPath.isEmpty() || failed > 0) {
        if (total < 0)
            reason = KPdf2ImageProxy::errorText(total);
        else if (total == 0)
            reason = QStringLiteral("the PDF has no pages");
        else if (!canWrite)
            reason = QStringLiteral("no output folder or format");
        else if (reason.isEmpty())
            reason = QStringLiteral("none of the chosen pages exist in the PDF");
        else if (!resultPath.isEmpty())
            reason = QStringLiteral("%1 of %2 pages failed: %3").arg(failed).arg(done).arg(reason);
        emit stateChanged({ index, BatchResult::Failed, QString(), reason });
    } else {
        emit stateChanged({ index, BatchResult::Succeeded, resultPath, QString() });
    }
}

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
    const int total = proxy->pageCount(path, QString());
    emit stateChanged({ index, BatchResult::Processing, QString() });

    // The page number goes into the name before the suffix; passing the
    // suffix along keeps a base name with dots ("scan.v2") whole when the
    // name is reserved.
    const QString baseName = QFileInfo(path).completeBaseName();
    const bool canWrite = isOutputExtension(m_extension) && !m_runFolder.isEmpty();
    QString resultPath;
    QString reason; // why the last page that failed did
    int done = 0;

    // Renders one page into a freshly reserved name; the placeholder goes
    // again when the page fails.
    auto renderPage = [this, proxy, path, baseName, &reason](int page) -> QString {
        const QString name = baseName + QLatin1Char('-') + QString::number(page);
        const QString out = reserveUniqueFilePath(
            m_runFolder, name + QLatin1Char('.') + m_extension, m_extension, &reason);
        if (out.isEmpty())
            return QString();
        const int code = proxy->convertPage(path, QString(), page, out);
        if (code != KPdf2ImageProxy::Ok) {
            QFile::remove(out);
            reason = KPdf2ImageProxy::errorText(code);
            // The renderer only says it could not write; the folder says why.
            if (code == KPdf2ImageProxy::CannotWrite) {
                const QString why = folderWriteProblem(m_runFolder);
                if (!why.isEmpty())
                    reason = why;
            }
            return QString();
        }
        return out;
    };

    if (total > 0 && canWrite && selection.mode == SelectPageItem::SpecificPages) {
        // The row merges its ranges; merging again keeps a page that two
        // ranges share from being written twice if it did not.
        const QList<SelectPageItem::Range> ranges = PageSelection::mergeRanges(selection.ranges);
        const int wanted = PageSelection::rangePageCount(ranges);
        for (const SelectPageItem::Range &range : ranges) {
            if (done >= wanted || isInterruptionRequested())
                break;
            for (int page = range.first; page <= range.second && page <= total; ++page) {
                if (isInterruptionRequested())
                    break;
                const QString out = renderPage(page);
                if (out.isEmpty())
                    break; // the rest of this range is skipped
                if (resultPath.isEmpty())
                    resultPath = out;
                ++done;
                emit processChanged({ index, percent(done, wanted) });
                if (done >= wanted)
                    break;
            }
        }
    } else if (total > 0 && canWrite && selection.mode >= SelectPageItem::AllPages
        && selection.mode <= SelectPageItem::EvenPages) {
        // Counted from the document as it is now rather than from the row's
        // count, which is 0 until the file list fills it in.
        const int wanted = PageSelection::selectedPageCount(selection.mode, total);
        const int first = selection.mode == SelectPageItem::EvenPages ? 1 : 0;
        const int step = selection.mode == SelectPageItem::AllPages ? 1 : 2;
        for (int n = first; n < total && done < wanted; n += step) {
            if (isInterruptionRequested())
                break;
            const QString out = renderPage(n + 1);
            if (!out.isEmpty() && resultPath.isEmpty())
                resultPath = out;
            ++done; // a failed page still counts for the progress
            emit processChanged({ index, percent(done, wanted) });
        }
    }

    if (resultPath.isEmpty()) {
        if (total < 0)
            reason = KPdf2ImageProxy::errorText(total);
        else if (total == 0)
            reason = QStringLiteral("the PDF has no pages");
        else if (!canWrite)
            reason = QStringLiteral("no output folder or format");
        else if (reason.isEmpty())
            reason = QStringLiteral("none of the chosen pages exist in the PDF");
        emit stateChanged({ index, BatchResult::Failed, QString(), reason });
    } else {
        emit stateChanged({ index, BatchResult::Succeeded, resultPath, QString() });
    }
}

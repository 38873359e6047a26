#pragma once

#include <functional>

#include <QHash>
#include <QMap>
#include <QStringList>
#include <QWidget>

#include "app/BatchResult.h"
#include "pdf/SelectPageItem.h"

class BatchRun;
class KTableAddFileView;
class KTableListItem;
class QListWidget;
class QPushButton;
class QStackedLayout;
class QTimer;

// The file list every batch tool shows: an empty page with a "Choose File"
// target, then one row per file with its state and row buttons. Views add
// files through it, hand files() to their workers and feed the workers'
// BatchResult records back through updateStatus(). The files and their
// records live in the list's BatchRun, which maps a worker's record to its
// file and locks the list while a run goes on (no adding or clearing; only
// finished rows can be deleted). Interface thread only.
// In PDF mode every row shows its document's page count and keeps a page
// choice, which the list collects per path for the PDF-to-image converter.
class KTableListView : public QWidget
{
    Q_OBJECT
public:
    KTableListView(QWidget *parent, bool pdfMode = false);

    void setFileFilter(const QString &filter);
    void setAddFileText(const QString &text);
    QStringList files() const;
    // The files and the run over them; views start runs and feed worker
    // records through it (or through updateStatus).
    BatchRun *run() const { return m_run; }
    // During a run: a worker's record (index = run id). Otherwise: the
    // record of row index.
    void updateStatus(const BatchResult &result);
    void setButtonsEnabled(bool enabled);
    void setDeleteButtonsVisible(bool visible);
    void setProgress(int row, int value);
    void removeFile(const QString &path);
    // PDF lists: the page choice of every listed document, keyed by path.
    // Entries still at "all pages" without a count get the document's page
    // count now (0 when it can no longer be opened).
    QMap<QString, SelectPageItem> pageSelections() const;

    bool isPdfMode() const { return m_pdfMode; }
    int rowCount() const;
    KTableListItem *row(int index) const;
    bool hasResult(int row) const;
    BatchResult result(int row) const;
    bool isShowingList() const;
    QPushButton *addButton() const { return m_addButton; }
    QPushButton *clearButton() const { return m_clearButton; }
    KTableAddFileView *emptyPage() const { return m_emptyPage; }

    // Admission of a file the user picked: a suffix the image registry knows
    // (any case) or exactly "pdf".
    static bool isAdmissible(const QString &path);

    // Adds the paths (already admitted) as rows; returns the ones actually
    // added. Documents a PDF list cannot open are left out and named in one
    // message with the reason (see lastRejection()). Nothing is added during a run.
    QStringList appendFiles(const QStringList &paths);
    // The text of the last message about files that were not added.
    QString lastRejection() const { return m_lastRejection; }

    // How PDF rows count a document's pages (negative: it cannot be opened).
    // By default the page renderer (KPdf2ImageProxy) answers; tests put a
    // counter of their own in its place, and an empty one restores the
    // default. Interface thread.
    using PageCounter = std::function<int(const QString &path)>;
    static void setPageCounter(PageCounter counter);
    static int pageCountOf(const QString &path);

signals:
    void addImages(const QStringList &paths);
    void clearImage();

public slots:
    void onAddFile();
    void onClearFile();
    void onOperateBtnClicked(int code);
    void onSelectPageChanged(SelectPageItem item);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void removeRow(int row);
    bool dropIsAdmissible(const QStringList &paths) const;
    void onResultChanged(int row, const BatchResult &result);
    void onRunningChanged(bool running);

    bool m_pdfMode = false;
    bool m_buttonsWanted = true;
    QString m_filter;
    QString m_lastRejection;
    BatchRun *m_run = nullptr;
    QMap<QString, SelectPageItem> m_pageSelections; // PDF lists, one per listed path
    QPushButton *m_addButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QListWidget *m_list = nullptr;
    QStackedLayout *m_stack = nullptr;
    KTableAddFileView *m_emptyPage = nullptr;
    QTimer *m_scrollTimer = nullptr;
    int m_scrollRow = -1;
};

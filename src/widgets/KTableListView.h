#pragma once

#include <functional>

#include <QHash>
#include <QStringList>
#include <QWidget>

#include "app/BatchResult.h"

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
// Lists of a special kind (PDF documents) are given a row factory that makes
// their own rows and may refuse a file, saying why.
class KTableListView : public QWidget
{
    Q_OBJECT
public:
    explicit KTableListView(QWidget *parent);

    // Makes the row widget of a newly added path (parent: the list's
    // viewport), or null to leave the path out, with why in *reason. Set
    // before files are added; by default every admitted path gets a plain
    // KTableListItem.
    using RowFactory
        = std::function<KTableListItem *(QWidget *parent, const QString &path, QString *reason)>;
    void setRowFactory(RowFactory factory);

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

signals:
    void addImages(const QStringList &paths);
    void clearImage();

public slots:
    void onAddFile();
    void onClearFile();
    void onOperateBtnClicked(int code);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void removeRow(int row);
    bool dropIsAdmissible(const QStringList &paths) const;
    void onResultChanged(int row, const BatchResult &result);
    void onRunningChanged(bool running);

    RowFactory m_rowFactory;
    bool m_buttonsWanted = true;
    QString m_filter;
    QString m_lastRejection;
    BatchRun *m_run = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QListWidget *m_list = nullptr;
    QStackedLayout *m_stack = nullptr;
    KTableAddFileView *m_emptyPage = nullptr;
    QTimer *m_scrollTimer = nullptr;
    int m_scrollRow = -1;
};

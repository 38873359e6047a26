#pragma once

#include <functional>

#include <QHash>
#include <QStringList>
#include <QWidget>

#include "app/BatchResult.h"

class KTableAddFileView;
class KTableListItem;
class QListWidget;
class QPushButton;
class QStackedLayout;
class QTimer;

// The file list every batch tool shows: an empty page with a "Choose File"
// target, then one row per file with its state and row buttons. Views add
// files through it, hand files() to their workers and feed the workers'
// BatchResult records back through updateStatus(). Interface thread only.
// Lists of a special kind (PDF documents) are given a row factory that makes
// their own rows and may refuse a file.
class KTableListView : public QWidget
{
    Q_OBJECT
public:
    explicit KTableListView(QWidget *parent);

    // Makes the row widget of a newly added path (parent: the list's
    // viewport), or null to leave the path out. Set before files are added;
    // by default every admitted path gets a plain KTableListItem.
    using RowFactory = std::function<KTableListItem *(QWidget *parent, const QString &path)>;
    void setRowFactory(RowFactory factory);

    void setFileFilter(const QString &filter);
    void setAddFileText(const QString &text);
    QStringList files() const { return m_files; }
    void updateStatus(const BatchResult &result);
    void setButtonsEnabled(bool enabled);
    void setDeleteButtonsVisible(bool visible);
    void setProgress(int row, int value);
    void removeFile(const QString &path);
    int rowCount() const;
    KTableListItem *row(int index) const;
    bool hasResult(int row) const { return m_results.contains(row); }
    BatchResult result(int row) const { return m_results.value(row); }
    bool isShowingList() const;
    QPushButton *addButton() const { return m_addButton; }
    QPushButton *clearButton() const { return m_clearButton; }
    KTableAddFileView *emptyPage() const { return m_emptyPage; }

    // Admission of a file the user picked: a suffix the image registry knows
    // (any case) or exactly "pdf".
    static bool isAdmissible(const QString &path);

    // Adds the paths (already admitted) as rows; returns the ones actually added.
    QStringList appendFiles(const QStringList &paths);

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

    RowFactory m_rowFactory;
    QString m_filter;
    QStringList m_files;
    QHash<int, BatchResult> m_results;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QListWidget *m_list = nullptr;
    QStackedLayout *m_stack = nullptr;
    KTableAddFileView *m_emptyPage = nullptr;
    QTimer *m_scrollTimer = nullptr;
    int m_scrollRow = -1;
};

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
class KTableListView : public QWidget
{
    Q_OBJECT
public:
    KTableListView(QWidget *parent, bool pdfMode = false);

    void setFileFilter(const QString &filter);
    void setAddFileText(const QString &text);
    QStringList files() const { return m_files; }
    void updateStatus(const BatchResult &result);
    void setButtonsEnabled(bool enabled);
    void setDeleteButtonsVisible(bool visible);
    void setProgress(int row, int value);
    void removeFile(const QString &path);

    bool isPdfMode() const { return m_pdfMode; }
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

    // Hooks of the PDF layer: how to count a document's pages (negative: the
    // document cannot be opened) and what to do when a row's page-selection
    // button is pressed.
    using PageCounter = std::function<int(const QString &path)>;
    using PageSelectionHandler = std::function<void(KTableListItem *row)>;
    static void setPageCounter(PageCounter counter);
    static void setPageSelectionHandler(PageSelectionHandler handler);
    static int pageCountOf(const QString &path);
    static void requestPageSelection(KTableListItem *row);

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

    bool m_pdfMode = false;
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

#pragma once

#include <functional>

#include <QMap>

#include "pdf/SelectPageItem.h"
#include "widgets/KTableListItem.h"

class KSelectPageView;
class KTableListView;
class QPushButton;

// A row of the PDF-to-image file list: the document's page count in place of
// the date, a page-selection button, and a progress bar in place of the status
// text. The row keeps its page choice and the dialog that edits it, created on
// first use and reused while the row lives. Interface thread; owned by the list.
class KPdfTableListItem : public KTableListItem
{
    Q_OBJECT
public:
    // pageCount: the document's pages as the caller counted them (0 or
    // negative: it could not be opened).
    KPdfTableListItem(QWidget *parent, const QString &path, int pageCount);

    int pageCount() const { return m_pageCount; }
    bool isLoaded() const { return m_loaded; }
    // The page choice as last accepted, count included.
    SelectPageItem selection() const { return m_selection; }
    // Null until the page-selection button was first pressed.
    KSelectPageView *selectPageView() const { return m_selectView; }
    QString pageText() const;
    QPushButton *selectPageButton() const { return m_selectPage; }

    // Makes the given list a list of PDF documents: documents that cannot be
    // opened are not added, every other one gets a row of this kind.
    static void makePdfList(KTableListView *list);
    // The page choice of every document listed, keyed by path. Entries still
    // at "all pages" without a count get the document's page count now (0
    // when it can no longer be opened).
    static QMap<QString, SelectPageItem> pageSelections(const KTableListView *list);

    // How rows count a document's pages (negative: it cannot be opened). By
    // default the page renderer (KPdf2ImageProxy) answers; tests put a counter
    // of their own in its place, and an empty one restores the default.
    using PageCounter = std::function<int(const QString &path)>;
    static void setPageCounter(PageCounter counter);
    static int pageCountOf(const QString &path);

signals:
    void selectPageChanged(SelectPageItem item);

public slots:
    void onSelectPageClicked();
    void onSelectPageChanged(SelectPageItem item);

private:
    int m_pageCount = 0;
    bool m_loaded = false;
    SelectPageItem m_selection;
    KSelectPageView *m_selectView = nullptr;
    QLabel *m_pages = nullptr;
    QPushButton *m_selectPage = nullptr;
};

#include "KPdfTableListItem.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "pdf/KPdf2ImageProxy.h"
#include "pdf/PageSelection.h"
#include "pdf/ui/KSelectPageView.h"
#include "widgets/KTableListView.h"
#include "widgets/StyleSheets.h"

namespace {

KPdfTableListItem::PageCounter &pageCounter()
{
    static KPdfTableListItem::PageCounter counter;
    return counter;
}

} // namespace

void KPdfTableListItem::setPageCounter(PageCounter counter) { pageCounter() = std::move(counter); }

int KPdfTableListItem::pageCountOf(const QString &path)
{
    if (pageCounter())
        return pageCounter()(path);
    return KPdf2ImageProxy::instance()->pageCount(path, QString());
}

void KPdfTableListItem::makePdfList(KTableListView *list)
{
    list->setRowFactory(
        [](QWidget *parent, const QString &path, QString *reason) -> KTableListItem * {
            // Each document is opened once here, when its row is made.
            const int pages = pageCountOf(path);
            if (pages < 0) {
                *reason = KPdf2ImageProxy::errorText(pages);
                return nullptr;
            }
            return new KPdfTableListItem(parent, path, pages);
        });
}

QMap<QString, SelectPageItem> KPdfTableListItem::pageSelections(const KTableListView *list)
{
    QMap<QString, SelectPageItem> selections;
    for (int i = 0; i < list->rowCount(); ++i) {
        const auto *row = qobject_cast<const KPdfTableListItem *>(list->row(i));
        if (!row)
            continue;
        SelectPageItem item = row->selection();
        if (item.mode == SelectPageItem::AllPages && item.count == 0)
            item.count = std::max(pageCountOf(row->filePath()), 0);
        selections.insert(row->filePath(), item);
    }
    return selections;
}

KPdfTableListItem::KPdfTableListItem(QWidget *parent, const QString &path, int pageCount)
    : KTableListItem(parent, path, StatusColumn::ProgressBar)
    , m_pageCount(pageCount)
    , m_loaded(pageCount >= 1)
{
    registerSelectPageItemMetaType();
    m_selection.count = std::max(m_pageCount, 0);
    m_pages = new QLabel(this);
    setGrey(m_pages);
    m_pages->setText(m_loaded ? QString::number(m_pageCount) + tr("page") : tr("load failed"));
    // "load failed" is wider than 50 px at 12 px; every row gets the same
    // width so that the columns stay aligned.
    const QFontMetrics metrics(rowFont());
    const int pagesWidth = std::max({ 50, metrics.horizontalAdvance(tr("load failed")) + 2,
        metrics.horizontalAdvance(m_pages->text()) + 2 });
    m_pages->setFixedSize(pagesWidth, 50);
    detailLayout()->addWidget(m_pages);
    detailLayout()->addSpacing(10);
    m_selectPage = new QPushButton(tr("all page"), this);
    // Wide enough for the longest text it can show, "total<pages>page",
    // which outgrows 74 px from three-digit page counts on.
    const QString widest = tr("total") + QString::number(std::max(m_pageCount, 0)) + tr("page");
    m_selectPage->setFixedSize(std::max(74, metrics.horizontalAdvance(widest) + 8), 30);
    m_selectPage->setStyleSheet(whiteButtonStyleSheet());
    m_selectPage->setEnabled(m_loaded);
    connect(m_selectPage, &QPushButton::clicked, this, &KPdfTableListItem::onSelectPageClicked);
    detailLayout()->addWidget(m_selectPage);
}

QString KPdfTableListItem::pageText() const { return m_pages->text(); }

void KPdfTableListItem::onSelectPageClicked()
{
    if (!m_selectView) {
        m_selectView = new KSelectPageView(tr("select page"), this, m_pageCount);
        connect(m_selectView, &KSelectPageView::selectPageChanged, this,
            &KPdfTableListItem::onSelectPageChanged);
    }
    m_selectView->setModal(true);
    m_selectView->show();
}

void KPdfTableListItem::onSelectPageChanged(SelectPageItem item)
{
    // Ranges are kept sorted and merged so that a page two ranges share is
    // converted and counted once.
    m_selection = PageSelection::normalized(item, m_pageCount);
    if (m_selection.mode == SelectPageItem::AllPages)
        m_selectPage->setText(tr("all page"));
    else
        m_selectPage->setText(tr("total") + QString::number(m_selection.count) + tr("page"));
    emit selectPageChanged(m_selection);
}

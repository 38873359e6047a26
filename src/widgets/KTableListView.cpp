#include "KTableListView.h"

#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

#include "app/BatchRun.h"
#include "app/FileUtils.h"
#include "codec/ImageFormats.h"
#include "codec/InputCheck.h"
#include "widgets/DesktopIntegration.h"
#include "widgets/KMessageTips.h"
#include "widgets/KTableAddFileView.h"
#include "widgets/KTableListItem.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

namespace {

QPushButton *toolbarButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFixedSize(68, 24);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    button->setFont(font);
    button->setStyleSheet(smallButtonStyleSheet());
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

KTableListView::KTableListView(QWidget *parent)
    : QWidget(parent)
    , m_rowFactory([](QWidget *rowParent, const QString &path, QString *) {
        return new KTableListItem(rowParent, path);
    })
{
    registerWorkerMetaTypes();
    m_run = new BatchRun(this);
    connect(m_run, &BatchRun::resultChanged, this, &KTableListView::onResultChanged);
    connect(m_run, &BatchRun::runningChanged, this, &KTableListView::onRunningChanged);
    setFixedSize(886, 416);
    setAcceptDrops(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 0, 30, 0);
    layout->setSpacing(0);

    auto *bar = new QHBoxLayout();
    bar->setContentsMargins(0, 4, 0, 0);
    bar->setSpacing(0);
    m_addButton = toolbarButton(tr("addFile"), this);
    m_clearButton = toolbarButton(tr("clearFile"), this);
    bar->addWidget(m_addButton, 0, Qt::AlignLeft | Qt::AlignVCenter);
    bar->addSpacing(684);
    bar->addWidget(m_clearButton, 0, Qt::AlignLeft | Qt::AlignVCenter);
    bar->addStretch();
    layout->addLayout(bar);

    m_emptyPage = new KTableAddFileView(this);
    m_emptyPage->setDropEnabled(false); // the list decides on drops
    m_list = new QListWidget(this);
    m_list->setFixedSize(826, 376);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setGridSize(QSize(826, 53));
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setUniformItemSizes(true);
    m_list->verticalScrollBar()->setContextMenuPolicy(Qt::NoContextMenu);
    // No style sheet on the list itself: it would cascade into every row widget
    // and make filling a large list slow. Rows paint their own hover colour.
    QPalette listPalette = m_list->palette();
    listPalette.setColor(QPalette::Base, QColor(0xFA, 0xFA, 0xFA));
    m_list->setPalette(listPalette);
    m_list->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar{background:transparent; width: 10px; height:100px;}"
        "QScrollBar::handle::vertical{background:lightgray; border: 2px solid transparent; "
        "border-radius: 2px; min-height: 20px;}QScrollBar::handle:hover{background:gray;}"
        "QScrollBar::add-page:vertical{ background: transparent; }QScrollBar::sub-page:vertical{ "
        "background: transparent; }QScrollBar::sub-line{background:transparent;}"
        "QScrollBar::add-line{background:transparent;}"));
    m_stack = new QStackedLayout();
    m_stack->addWidget(m_emptyPage);
    m_stack->addWidget(m_list);
    m_stack->setCurrentIndex(0);
    layout->addLayout(m_stack);

    m_scrollTimer = new QTimer(this);
    m_scrollTimer->setSingleShot(true);
    m_scrollTimer->setInterval(0);
    connect(m_scrollTimer, &QTimer::timeout, this, [this]() {
        if (QListWidgetItem *item = m_list->item(m_scrollRow))
            m_list->scrollToItem(item);
    });

    connect(m_addButton, &QPushButton::clicked, this, &KTableListView::onAddFile);
    connect(m_clearButton, &QPushButton::clicked, this, &KTableListView::onClearFile);
    connect(m_emptyPage, &KTableAddFileView::clicked, this, &KTableListView::onAddFile);
}

void KTableListView::setRowFactory(RowFactory factory) { m_rowFactory = std::move(factory); }

void KTableListView::setFileFilter(const QString &filter) { m_filter = filter; }

void KTableListView::setAddFileText(const QString &text) { m_emptyPage->setText(text); }

int KTableListView::rowCount() const { return m_list->count(); }

QStringList KTableListView::files() const { return m_run->files(); }

bool KTableListView::hasResult(int row) const { return row >= 0 && row < m_run->count(); }

BatchResult KTableListView::result(int row) const { return m_run->result(row); }

KTableListItem *KTableListView::row(int index) const
{
    QListWidgetItem *item = m_list->item(index);
    return item ? qobject_cast<KTableListItem *>(m_list->itemWidget(item)) : nullptr;
}

bool KTableListView::isShowingList() const { return m_stack->currentIndex() == 1; }

bool KTableListView::isAdmissible(const QString &path)
{
    const QString suffix = ImageFormats::extensionOf(path);
    return ImageFormats::global().isKnownExtension(suffix)
        || suffix.compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
}

void KTableListView::onAddFile()
{
    if (m_run->isRunning())
        return;
    const QString filter = m_filter.isEmpty() ? ImageFormats::global().openFilter() : m_filter;
    const QStringList chosen
        = QFileDialog::getOpenFileNames(this, tr("Open File"), desktopFolder(), filter);
    QStringList admitted;
    for (const QString &path : chosen) {
        if (isAdmissible(path))
            admitted << path;
    }
    if (!admitted.isEmpty())
        appendFiles(admitted);
}

QStringList KTableListView::appendFiles(const QStringList &paths)
{
    if (m_run->isRunning())
        return QStringList();
    const QStringList listedFiles = m_run->files();
    const QSet<QString> listed(listedFiles.begin(), listedFiles.end());
    QStringList candidates;
    QHash<QString, KTableListItem *> rows; // made once per path; a PDF is opened here
    QSet<QString> seen;
    QStringList rejected;
    for (const QString &path : paths) {
        if (listed.contains(path) || seen.contains(path))
            continue;
        seen.insert(path);
        // A pipe or a device would hold a worker for ever; it is not a
        // picture or a document anyway.
        QString reason = InputCheck::regularFileProblem(path);
        if (!reason.isEmpty()) {
            rejected << QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), reason);
            continue;
        }
        KTableListItem *rowWidget = m_rowFactory(m_list, path, &reason);
        if (!rowWidget) {
            if (!reason.isEmpty())
                rejected << QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), reason);
            continue;
        }
        rows.insert(path, rowWidget);
        candidates << path;
    }
    if (!rejected.isEmpty()) {
        m_lastRejection = tr("These files were not added:") + QLatin1Char('\n')
            + rejected.join(QLatin1Char('\n'));
        // No nested event loop: the notice needs no answer.
        auto *tips = new KMessageTips(tr("addFile"), m_lastRejection, this);
        tips->setConfirmButtons();
        tips->open();
    }
    const QStringList fresh = m_run->add(candidates);
    for (const QString &path : qAsConst(candidates)) {
        if (!fresh.contains(path))
            delete rows.take(path);
    }
    m_list->setUpdatesEnabled(false);
    for (const QString &path : qAsConst(fresh)) {
        KTableListItem *rowWidget = rows.value(path);
        const int rowIndex = m_list->count();
        auto *item = new QListWidgetItem();
        item->setSizeHint(QSize(826, 50));
        m_list->insertItem(rowIndex, item);
        connect(rowWidget, &KTableListItem::operateBtnClicked, this,
            &KTableListView::onOperateBtnClicked);
        m_list->setItemWidget(item, rowWidget);
    }
    m_list->setUpdatesEnabled(true);
    if (m_list->count() > 0)
        m_stack->setCurrentIndex(1);
    update();
    emit addImages(fresh);
    return fresh;
}

void KTableListView::updateStatus(const BatchResult &result)
{
    if (m_run->isRunning())
        m_run->apply(result);
    else
        m_run->setRowResult(result.index, result);
}

void KTableListView::onResultChanged(int rowIndex, const BatchResult &result)
{
    KTableListItem *rowWidget = row(rowIndex);
    if (!rowWidget)
        return;
    rowWidget->setResult(result);
    // During a run a finished row can already go; its delete button shows.
    if (m_run->isRunning() && result.status == BatchResult::Succeeded)
        rowWidget->button(2)->setVisible(true);
    // Scrolling moves every row widget; a burst of records scrolls once, to the last row.
    m_scrollRow = rowIndex;
    if (!m_scrollTimer->isActive())
        m_scrollTimer->start();
}

void KTableListView::onRunningChanged(bool running)
{
    m_addButton->setEnabled(!running && m_buttonsWanted);
    m_clearButton->setEnabled(!running && m_buttonsWanted);
    if (!running)
        setDeleteButtonsVisible(true);
}

void KTableListView::setButtonsEnabled(bool enabled)
{
    m_buttonsWanted = enabled;
    m_addButton->setEnabled(enabled && !m_run->isRunning());
    m_clearButton->setEnabled(enabled && !m_run->isRunning());
}

void KTableListView::setDeleteButtonsVisible(bool visible)
{
    for (int i = 0; i < m_list->count(); ++i) {
        KTableListItem *r = row(i);
        if (!r)
            continue;
        r->button(2)->setVisible(r->state() == BatchResult::Succeeded && visible);
    }
}

void KTableListView::setProgress(int rowIndex, int value)
{
    if (KTableListItem *r = row(rowIndex))
        r->setProgress(value);
}

void KTableListView::removeFile(const QString &path)
{
    const int index = m_run->rowOf(path);
    if (index >= 0)
        removeRow(index);
    if (m_run->count() == 0)
        m_stack->setCurrentIndex(0);
}

void KTableListView::removeRow(int rowIndex)
{
    // During a run only rows with their final record may go; the run keeps
    // every other file's record with its file.
    if (!m_run->canRemove(rowIndex))
        return;
    QListWidgetItem *item = m_list->takeItem(rowIndex);
    if (!item)
        return;
    delete item;
    m_run->remove(rowIndex);
    if (m_run->count() == 0) {
        m_stack->setCurrentIndex(0);
        emit clearImage();
    }
    update();
}

void KTableListView::onOperateBtnClicked(int code)
{
    auto *rowWidget = qobject_cast<KTableListItem *>(sender());
    if (!rowWidget)
        return;
    const int rowIndex = m_run->rowOf(rowWidget->filePath());
    if (rowIndex < 0)
        return;
    switch (code) {
    case KTableListItem::OpenFile:
        openFile(m_run->result(rowIndex).path);
        break;
    case KTableListItem::OpenFolder:
        revealInFolder(m_run->result(rowIndex).path);
        break;
    case KTableListItem::DeleteFile:
        removeRow(rowIndex);
        break;
    default:
        break;
    }
}

void KTableListView::onClearFile()
{
    if (!m_run->clear())
        return; // locked while a run goes on
    m_list->clear();
    m_stack->setCurrentIndex(0);
    emit clearImage();
}

bool KTableListView::dropIsAdmissible(const QStringList &paths) const
{
    if (paths.isEmpty())
        return false;
    const QString first = paths.first();
    if (!isAdmissible(first))
        return false;
    if (!m_filter.isEmpty() && !m_filter.contains(ImageFormats::extensionOf(first).toLower()))
        return false;
    return true;
}

void KTableListView::dragEnterEvent(QDragEnterEvent *event)
{
    const QStringList files = KTableAddFileView::localFiles(event->mimeData());
    for (const QString &file : files) {
        if (QFileInfo(file).isFile()) {
            event->acceptProposedAction();
            return;
        }
    }
    event->ignore();
}

void KTableListView::dropEvent(QDropEvent *event)
{
    const QStringList files = KTableAddFileView::localFiles(event->mimeData());
    if (m_run->isRunning() || !dropIsAdmissible(files)) {
        event->ignore();
        return;
    }
    appendFiles(files);
    event->acceptProposedAction();
}

void KTableListView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}

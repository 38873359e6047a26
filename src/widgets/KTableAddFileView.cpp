#include "KTableAddFileView.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <QVBoxLayout>

#include "codec/ImageFormats.h"
#include "widgets/KAddPictureLabel.h"
#include "widgets/StyleSheets.h"

KTableAddFileView::KTableAddFileView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(826, 376);
    setMouseTracking(true);
    setAcceptDrops(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 100, 0, 0);
    layout->setSpacing(0);
    auto *targetRow = new QHBoxLayout();
    targetRow->setContentsMargins(164, 0, 0, 0);
    m_target = new KAddPictureLabel(QString(), this);
    targetRow->addWidget(m_target);
    targetRow->addStretch();
    layout->addLayout(targetRow);
    auto *hintRow = new QHBoxLayout();
    hintRow->setContentsMargins(113, 10, 0, 0);
    m_hint = new QLabel(tr("add File"), this);
    m_hint->setFixedSize(600, 20);
    QFont font(uiFontFamily());
    font.setPixelSize(14);
    m_hint->setFont(font);
    m_hint->setStyleSheet(QStringLiteral("color:#999999;"));
    m_hint->setAlignment(Qt::AlignCenter);
    hintRow->addWidget(m_hint);
    hintRow->addStretch();
    layout->addLayout(hintRow);
    layout->addStretch();
    connect(m_target, &KAddPictureLabel::addPicClicked, this, &KTableAddFileView::clicked);
}

void KTableAddFileView::setText(const QString &text) { m_hint->setText(text); }

QString KTableAddFileView::text() const { return m_hint->text(); }

void KTableAddFileView::setDropEnabled(bool enabled) { setAcceptDrops(enabled); }

QStringList KTableAddFileView::localFiles(const QMimeData *mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    const QList<QUrl> urls = mime->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

static bool hasLocalRegularFile(const QMimeData *mime)
{
    const QStringList files = KTableAddFileView::localFiles(mime);
    for (const QString &file : files) {
        if (QFileInfo(file).isFile())
            return true;
    }
    return false;
}

void KTableAddFileView::dragEnterEvent(QDragEnterEvent *event)
{
    if (hasLocalRegularFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void KTableAddFileView::dropEvent(QDropEvent *event)
{
    const QStringList files = localFiles(event->mimeData());
    if (files.isEmpty()
        || !ImageFormats::global().isKnownExtension(ImageFormats::extensionOf(files.first()))) {
        event->ignore();
        return;
    }
    emit addFiles(files);
    event->acceptProposedAction();
}

void KTableAddFileView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xFA, 0xFA, 0xFA));
    QWidget::paintEvent(event);
}

#include "KTableListItem.h"

#include <algorithm>

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QMimeDatabase>
#include <QMovie>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

#include "app/BatchResult.h"
#include "widgets/DesktopIntegration.h"
#include "widgets/KTableListFileInfo.h"
#include "widgets/StyleSheets.h"
#include "widgets/WidgetResources.h"

namespace {

// One animation shared by every row that is processing: a thousand rows must
// not run a thousand decoders and timers.
QMovie *sharedLoadingMovie()
{
    static QMovie *movie = [] {
        auto *m = new QMovie(QStringLiteral(":/Resources/loading.gif"), QByteArray(), qApp);
        m->setScaledSize(QSize(16, 16));
        return m;
    }();
    return movie;
}

} // namespace

// Rows use palettes rather than style sheets for their texts: a thousand rows
// of style-sheet polishing made large lists slow to fill.
void KTableListItem::setGrey(QLabel *label)
{
    QPalette pal = label->palette();
    // Inside the list the labels draw with the Text role (the viewport's background is Base).
    pal.setColor(QPalette::WindowText, QColor(0x99, 0x99, 0x99));
    pal.setColor(QPalette::Text, QColor(0x99, 0x99, 0x99));
    label->setPalette(pal);
}

QFont KTableListItem::rowFont()
{
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    return font;
}

QIcon KTableListItem::fileIcon(const QString &path)
{
    // By name only: reading file contents for a thousand rows would stall the interface.
    static QHash<QString, QIcon> cache;
    const QString suffix = QFileInfo(path).suffix().toLower();
    const auto it = cache.constFind(suffix);
    if (it != cache.constEnd())
        return it.value();
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull()) {
        const bool image = type.name().startsWith(QLatin1String("image/"));
        icon = image ? WidgetResources::icon(QStringLiteral("normalImageConvert"))
                     : qApp->style()->standardIcon(QStyle::SP_FileIcon);
    }
    cache.insert(suffix, icon);
    return icon;
}

QString KTableListItem::dateTextFor(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    QDateTime created = info.birthTime();
    if (!created.isValid())
        created = info.metadataChangeTime();
    return KTableListItem::tr("%1").arg(created.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

KTableListItem::KTableListItem(QWidget *parent, const QString &path)
    : KTableListItem(parent, path, StatusColumn::Text)
{
    m_date = new QLabel(dateTextFor(path), this);
    m_date->setFixedSize(134, 50);
    setGrey(m_date);
    m_date->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_detail->addWidget(m_date);
}

KTableListItem::KTableListItem(QWidget *parent, const QString &path, StatusColumn status)
    : QWidget(parent)
    , m_path(path)
{
    registerWorkerMetaTypes();
    setFixedSize(886, 50);
    setFont(rowFont());
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(30, 0, 30, 0);
    layout->setSpacing(0);

    auto *left = new QHBoxLayout();
    left->setContentsMargins(0, 0, 14, 0);
    left->setSpacing(0);
    auto *icon = new QLabel(this);
    icon->setFixedSize(32, 32);
    icon->setPixmap(fileIcon(path).pixmap(32, 32));
    left->addWidget(icon);
    m_info = new KTableListFileInfo(this, path);
    m_info->setFixedSize(300, 50);
    left->addWidget(m_info);
    left->addSpacing(20);
    m_detail = new QHBoxLayout();
    m_detail->setContentsMargins(0, 0, 0, 0);
    m_detail->setSpacing(0);
    left->addLayout(m_detail);
    left->addSpacing(20);
    m_statusIcon = new QLabel(this);
    m_statusIcon->setFixedSize(16, 16);
    left->addWidget(m_statusIcon);
    if (status == StatusColumn::ProgressBar) {
        m_progress = new QProgressBar(this);
        m_progress->setFixedSize(100, 12);
        m_progress->setRange(0, 100);
        m_progress->setValue(0);
        m_progress->setOrientation(Qt::Horizontal);
        m_progress->setAlignment(Qt::AlignCenter);
        m_progress->setStyleSheet(
            QStringLiteral("QProgressBar { background-color: #DDDDDD; border-radius: %1px;}"
                           "QProgressBar::chunk { background-color: #599EFF; border-radius: %2px;}"
                           "QProgressBar::chunk::disabled { background-color: #8F8F8F; "
                           "border-radius: %3px;}")
                .arg(3)
                .arg(3)
                .arg(3));
        left->addWidget(m_progress);
    } else {
        m_statusText = new QLabel(this);
        // Wide enough for "process succeed" at 12 px; the buttons move right by as much less.
        m_statusText->setFixedSize(96, 50);
        setGrey(m_statusText);
        m_statusText->setAlignment(Qt::AlignCenter);
        left->addWidget(m_statusText);
    }
    layout->addLayout(left);

    auto *right = new QHBoxLayout();
    right->setContentsMargins(10, 0, 0, 0);
    right->setSpacing(16);
    for (auto &button : m_buttons) {
        button = new QPushButton(this);
        button->setFixedSize(16, 16);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QPushButton::clicked, this, &KTableListItem::onOperateBtnClicked);
        right->addWidget(button);
    }
    right->addStretch();
    layout->addLayout(right);

    setState(BatchResult::NotStarted);
}

void KTableListItem::styleButton(int i, const QString &image, const QString &tip)
{
    QPushButton *button = m_buttons[i];
    if (button->objectName() == image)
        return;
    button->setObjectName(image);
    button->setToolTip(tip);
    button->setStyleSheet(buttonStyleSheet(image));
}

void KTableListItem::setState(BatchResult::Status state)
{
    m_state = state;
    m_statusIcon->setMovie(nullptr);
    switch (state) {
    case BatchResult::NotStarted:
        styleButton(0, QStringLiteral("deleteFile"), tr("deleteFile"));
        m_buttons[0]->show();
        m_buttons[1]->hide();
        m_buttons[2]->hide();
        m_statusIcon->clear();
        if (m_statusText)
            m_statusText->setText(tr("not started"));
        if (m_progress)
            m_progress->setValue(0);
        break;
    case BatchResult::Processing:
        for (QPushButton *b : m_buttons)
            b->hide();
        if (m_statusText)
            m_statusText->setText(tr("processing"));
        m_statusIcon->setMovie(sharedLoadingMovie());
        sharedLoadingMovie()->start();
        break;
    case BatchResult::Succeeded:
        styleButton(0, QStringLiteral("openFile"), tr("openFile"));
        styleButton(1, QStringLiteral("openFolder"), tr("openFolder"));
        styleButton(2, QStringLiteral("deleteFile"), tr("deleteFile"));
        m_buttons[0]->show();
        m_buttons[1]->show();
        if (m_statusText)
            m_statusText->setText(tr("process succeed"));
        m_statusIcon->setPixmap(WidgetResources::pixmap(QStringLiteral("success")));
        break;
    case BatchResult::Failed:
        styleButton(0, QStringLiteral("deleteFile"), tr("deleteFile"));
        m_buttons[0]->show();
        m_buttons[1]->hide();
        m_buttons[2]->hide();
        if (m_statusText)
            m_statusText->setText(tr("process failed"));
        m_statusIcon->setPixmap(WidgetResources::pixmap(QStringLiteral("error")));
        break;
    default:
        break;
    }
    update();
}

void KTableListItem::setResult(const BatchResult &result)
{
    setState(result.status);
    m_reason = result.status == BatchResult::Failed ? result.reason : QString();
    m_info->setNote(m_reason);
    const QString tip
        = m_reason.isEmpty() ? QString() : tr("process failed") + QStringLiteral(": ") + m_reason;
    setToolTip(tip);
    if (m_statusText)
        m_statusText->setToolTip(tip);
    m_statusIcon->setToolTip(tip);
}

QString KTableListItem::reasonLineText() const { return m_info->noteText(); }

void KTableListItem::setProgress(int value)
{
    if (!m_progress)
        return;
    m_progress->setValue(value);
    m_statusIcon->setMovie(nullptr);
    m_statusIcon->clear();
    if (value == 0) {
        for (QPushButton *b : m_buttons)
            b->hide();
    }
    update();
}

QString KTableListItem::statusText() const
{
    return m_statusText ? m_statusText->text() : QString();
}

QString KTableListItem::dateText() const { return m_date ? m_date->text() : QString(); }

bool KTableListItem::isAnimating() const { return m_statusIcon->movie() != nullptr; }

void KTableListItem::onOperateBtnClicked()
{
    const QObject *source = sender();
    int code = -1;
    if (source == m_buttons[0]) {
        if (m_state == BatchResult::NotStarted || m_state == BatchResult::Failed)
            code = DeleteFile;
        else if (m_state == BatchResult::Succeeded)
            code = OpenFile;
    } else if (source == m_buttons[1]) {
        if (m_state == BatchResult::Succeeded)
            code = OpenFolder;
        else if (m_state == BatchResult::Failed)
            code = DeleteFile;
    } else if (source == m_buttons[2]) {
        code = DeleteFile;
    }
    if (code >= 0)
        emit operateBtnClicked(code);
}

void KTableListItem::enterEvent(QEvent *event)
{
    m_hovered = true;
    update();
    QWidget::enterEvent(event);
}

void KTableListItem::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QWidget::leaveEvent(event);
}

void KTableListItem::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_hovered ? QColor(0xF1, 0xF1, 0xF1) : QColor(0xFA, 0xFA, 0xFA));
    painter.setPen(QColor(227, 227, 227));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.drawLine(0, height() - 1, width() - 1, height() - 1);
    painter.end();
    QWidget::paintEvent(event);
}

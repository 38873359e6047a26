#include "KImageShowLabel.h"

#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "widgets/StyleSheets.h"

KImageShowLabel::KImageShowLabel(const QString &caption, bool flag, QWidget *parent)
    : QLabel(parent)
    , m_flag(flag)
{
    setFixedSize(400, 376);
    setAttribute(Qt::WA_TranslucentBackground);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(0);
    m_caption = new QLabel(caption, this);
    m_caption->setFixedSize(400, 26);
    m_caption->setStyleSheet(QStringLiteral("QLabel{color:#333333;}"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setFont(font);
    layout->addWidget(m_caption);
    m_picture = new QLabel(this);
    m_picture->setFixedSize(380, 304);
    m_picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_picture);
    m_info = new QLabel(this);
    m_info->setFixedSize(380, 40);
    m_info->setStyleSheet(QStringLiteral("color:#999999;"));
    m_info->setAlignment(Qt::AlignCenter);
    m_info->setFont(font);
    layout->addWidget(m_info);
}

QString KImageShowLabel::infoText(const QSize &size, quint32 bytes)
{
    static const QString resolution = tr("resolution:");
    static const QString imageSize = tr("image size:");
    if (bytes == 0)
        return QStringLiteral("%1%2*%3").arg(resolution).arg(size.width()).arg(size.height());
    if (bytes <= 1048576) {
        return QStringLiteral("%1%2*%3  %4 %5KB")
            .arg(resolution)
            .arg(size.width())
            .arg(size.height())
            .arg(imageSize)
            .arg(QString::number(bytes / 1024.0, 'f', 1));
    }
    return QStringLiteral("%1%2*%3  %4 %5MB")
        .arg(resolution)
        .arg(size.width())
        .arg(size.height())
        .arg(imageSize)
        .arg(QString::number(bytes / 1048576.0, 'f', 2));
}

void KImageShowLabel::setImage(const QImage &image, quint32 bytes)
{
    m_image = image;
    QPixmap pixmap = QPixmap::fromImage(image);
    if (!pixmap.isNull())
        pixmap = pixmap.scaled(m_picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_picture->setPixmap(pixmap);
    m_info->setText(infoText(image.size(), bytes));
    update();
}

QString KImageShowLabel::infoLine() const { return m_info->text(); }

QSize KImageShowLabel::shownSize() const { return m_picture->pixmap(Qt::ReturnByValue).size(); }

void KImageShowLabel::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xF5, 0xF5, 0xF5));
    painter.end();
    QLabel::paintEvent(event);
}

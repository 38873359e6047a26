#include "KTableImageView.h"

#include <cmath>

#include <QFontMetrics>
#include <QPainter>

#include "widgets/StyleSheets.h"

KTableImageView::KTableImageView(QWidget *parent)
    : QLabel(parent)
{
    setFixedSize(826, 376);
    setMouseTracking(true);
    m_name = new QLabel(this);
    m_name->setFixedSize(300, 15);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    m_name->setFont(font);
    m_name->setStyleSheet(QStringLiteral("color:#999999;"));
    m_name->setAlignment(Qt::AlignCenter);
}

QString KTableImageView::nameText() const { return m_name->text(); }

void KTableImageView::setImage(const QString &path, const QImage &image)
{
    m_name->setGeometry(262, 346, 250, 16);
    m_name->setText(QFontMetrics(m_name->font()).elidedText(path, Qt::ElideMiddle, 300));
    m_name->setToolTip(path);
    m_image = image.isNull()
        ? QImage()
        : image.scaled(776, 296, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    update();
}

void KTableImageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xF5, 0xF5, 0xF5));
    if (!m_image.isNull()) {
        const int w = m_image.width(), h = m_image.height();
        const int x = (776 - w) / 2 + 25;
        const int y = (316 - h) / 2 + 15;
        for (int i = 0; i < 5; ++i) {
            QColor colour(0xC0, 0xC0, 0xC0);
            colour.setAlpha(int(120 - 50 * std::sqrt(double(i))));
            painter.setPen(colour);
            painter.drawRect(x - i, y - i, w + 2 * i, h + 2 * i);
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QPoint(x, y), m_image);
    }
    painter.end();
    QLabel::paintEvent(event);
}

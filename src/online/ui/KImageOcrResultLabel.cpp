#include "KImageOcrResultLabel.h"

#include <QPainter>
#include <QVBoxLayout>

#include "online/ui/OcrTextBrowser.h"
#include "widgets/StyleSheets.h"

KImageOcrResultLabel::KImageOcrResultLabel(QWidget *parent)
    : QLabel(parent)
{
    setFixedSize(400, 370);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(0);
    auto *title = new QLabel(tr("ocr result"), this);
    title->setFixedSize(380, 26);
    title->setStyleSheet(QStringLiteral("QLabel{color:#333333;}"));
    title->setAlignment(Qt::AlignCenter);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    title->setFont(font);
    layout->addWidget(title);
    m_browser = new OcrTextBrowser(this);
    m_browser->setFixedSize(380, 310);
    layout->addWidget(m_browser);
    layout->addStretch();
}

void KImageOcrResultLabel::setResultText(const QString &text) { m_browser->setPlainText(text); }

QString KImageOcrResultLabel::plainText() const { return m_browser->toPlainText(); }

void KImageOcrResultLabel::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xF5, 0xF5, 0xF5));
    QLabel::paintEvent(event);
}

#include "KImageLoadView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/KShadowBorder.h"
#include "widgets/StyleSheets.h"

KImageLoadView::KImageLoadView(const QString &title, QWidget *parent)
    : KBaseDialog(parent)
{
    setFixedSize(400, 170);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground, false);
    setAttribute(Qt::WA_DeleteOnClose);
    new KShadowBorder(this, this, 10);
    QFont font(uiFontFamily());
    setFont(font);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 30, 0);
    layout->setSpacing(0);
    auto *header = new QHBoxLayout();
    m_title = new QLabel(title, this);
    m_title->setFixedSize(200, 18);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->addWidget(m_title);
    header->addSpacing(350);
    m_close = new QPushButton(this);
    m_close->setFixedSize(12, 12);
    m_close->setStyleSheet(buttonStyleSheet(QStringLiteral("closeWindow")));
    m_close->setFocusPolicy(Qt::NoFocus);
    header->addWidget(m_close);
    layout->addLayout(header);

    auto *progressRow = new QHBoxLayout();
    progressRow->setContentsMargins(0, 30, 20, 0);
    m_progress = new QProgressBar(this);
    m_progress->setFixedSize(340, 10);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setStyleSheet(QStringLiteral(
        "QProgressBar { background-color: #E0E0E0; border-radius: %1px;}"
        "QProgressBar::chunk { background-color: #1C86EE; border-radius: 4px;}"
        "QProgressBar::chunk::disabled { background-color: #8F8F8F; border-radius: 4px;}"
        "QProgressBar { text-align: center; color: rgb(255, 85, 0); border-radius:4px}")
                                  .arg(3));
    progressRow->addWidget(m_progress, 0, Qt::AlignCenter);
    layout->addLayout(progressRow);

    auto *messageRow = new QHBoxLayout();
    messageRow->setContentsMargins(0, 10, 0, 0);
    m_message = new QLabel(title, this);
    m_message->setFixedSize(360, 20);
    font.setPixelSize(12);
    m_message->setFont(font);
    m_message->setAlignment(Qt::AlignCenter);
    messageRow->addWidget(m_message, 0, Qt::AlignCenter);
    layout->addLayout(messageRow);
    layout->addStretch();

    connect(m_close, &QPushButton::clicked, this, &KImageLoadView::btnClosed);
}

void KImageLoadView::setText(const QString &text)
{
    m_message->setText(text);
    update();
}

QString KImageLoadView::text() const { return m_message->text(); }

void KImageLoadView::setValue(int value)
{
    m_progress->setValue(value);
    update();
}

int KImageLoadView::value() const { return m_progress->value(); }

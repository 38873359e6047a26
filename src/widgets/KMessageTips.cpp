#include "KMessageTips.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/KShadowBorder.h"
#include "widgets/StyleSheets.h"

KMessageTips::KMessageTips(const QString &title, const QString &message, QWidget *parent)
    : KBaseDialog(parent)
{
    setFixedSize(400, 170);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    new KShadowBorder(this, this, 10);

    QFont font(uiFontFamily());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 0);
    layout->setSpacing(0);

    auto *header = new QHBoxLayout();
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(0);
    m_title = new QLabel(title, this);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    font.setPixelSize(14);
    m_title->setFont(font);
    // 100 pixels, or what a longer title ("Table recognition") needs; the
    // close button keeps its place at the right.
    const int titleWidth = qBound(100, QFontMetrics(font).horizontalAdvance(title) + 4, 340);
    m_title->setFixedSize(titleWidth, 18);
    header->addWidget(m_title);
    header->addSpacing(250 - (titleWidth - 100));
    m_close = new QPushButton(this);
    m_close->setFixedSize(12, 12);
    m_close->setStyleSheet(buttonStyleSheet(QStringLiteral("closeWindow")));
    m_close->setFocusPolicy(Qt::NoFocus);
    header->addWidget(m_close);
    header->addStretch();
    layout->addLayout(header);

    auto *messageRow = new QHBoxLayout();
    messageRow->setContentsMargins(16, 18, 0, 0);
    m_message = new QLabel(message, this);
    // Long messages wrap onto a second line instead of being cut off.
    m_message->setFixedWidth(340);
    m_message->setMinimumHeight(16);
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    font.setPixelSize(12);
    m_message->setFont(font);
    QPalette pal = m_message->palette();
    pal.setColor(QPalette::WindowText, QColor(0x5F, 0x5F, 0x5F));
    m_message->setPalette(pal);
    messageRow->addWidget(m_message);
    messageRow->addStretch();
    layout->addLayout(messageRow);

    auto *buttons = new QHBoxLayout();
    buttons->setContentsMargins(180, 20, 0, 0);
    buttons->setSpacing(0);
    m_left = new QPushButton(this);
    m_left->setFixedSize(80, 32);
    m_left->setFont(font);
    m_left->setStyleSheet(blueButtonStyleSheet());
    buttons->addWidget(m_left);
    buttons->addSpacing(14);
    m_right = new QPushButton(this);
    m_right->setFixedSize(80, 32);
    m_right->setFont(font);
    m_right->setStyleSheet(whiteButtonStyleSheet());
    buttons->addWidget(m_right);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addStretch();

    connect(m_close, &QPushButton::clicked, this, &KMessageTips::onClose);
    connect(m_left, &QPushButton::clicked, this, &KMessageTips::onLeftBtn);
    connect(m_right, &QPushButton::clicked, this, &KMessageTips::onRightBtn);
}

QString KMessageTips::title() const { return m_title->text(); }

QString KMessageTips::message() const { return m_message->text(); }

void KMessageTips::setButtonTexts(const QString &left, const QString &right)
{
    m_left->setText(left);
    m_right->setText(right);
    update();
}

void KMessageTips::setOpenFileButtons() { setButtonTexts(tr("open file"), tr("open folder")); }

void KMessageTips::setConfirmButtons() { setButtonTexts(tr("I knwon"), tr("cancel")); }

void KMessageTips::setRetryButtons() { setButtonTexts(tr("retry"), tr("ok")); }

void KMessageTips::setCompressButtons() { setButtonTexts(tr("compress"), tr("cancel")); }

void KMessageTips::onClose() { done(0); }

void KMessageTips::onLeftBtn() { done(1); }

void KMessageTips::onRightBtn() { done(2); }

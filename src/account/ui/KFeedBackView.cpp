#include "KFeedBackView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "account/KAccoutManager.h"
#include "widgets/KShadowBorder.h"
#include "widgets/StyleSheets.h"

namespace {

QFont yaHei(int pixelSize)
{
    QFont font(uiFontFamily());
    font.setPixelSize(pixelSize);
    return font;
}

QLabel *label(const QString &text, QSize size, int pixelSize, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    if (size.isValid())
        l->setFixedSize(size);
    l->setFont(yaHei(pixelSize));
    l->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    return l;
}

} // namespace

KFeedBackView::KFeedBackView(QWidget *parent)
    : KBaseDialog(parent)
{
    setFixedSize(600, 400);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    new KShadowBorder(this, this, 10);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 0, 16, 20);
    layout->setSpacing(12);

    auto *top = new QHBoxLayout();
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(label(tr("feedback"), QSize(200, 30), 14, this));
    top->addStretch();
    m_close = new QPushButton(this);
    m_close->setFixedSize(12, 12);
    m_close->setStyleSheet(buttonStyleSheet(QStringLiteral("closeWindow")));
    m_close->setFocusPolicy(Qt::NoFocus);
    top->addWidget(m_close);
    layout->addLayout(top);

    QLabel *intro = label(tr("welcome to give us the use experience and suggestions of the "
                             "converter. We will deal with it as soon as possible to create a "
                             "better converter"),
        QSize(), 12, this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto *contentRow = new QHBoxLayout();
    QLabel *contentLabel = label(tr("content:"), QSize(60, 30), 12, this);
    contentRow->addWidget(contentLabel, 0, Qt::AlignTop);
    m_content = new QTextEdit(this);
    m_content->setFixedSize(450, 150);
    m_content->setAcceptRichText(false);
    m_content->setFont(yaHei(12));
    m_content->setStyleSheet(
        lineEditStyleSheet().replace(QLatin1String("QLineEdit"), QLatin1String("QTextEdit")));
    m_content->setPlaceholderText(
        tr("You can enter suggestions and questions using Quorvel Converter"));
    contentRow->addWidget(m_content);
    contentRow->addStretch();
    layout->addLayout(contentRow);

    auto *contactRow = new QHBoxLayout();
    contactRow->addWidget(label(tr("contact:"), QSize(60, 30), 12, this));
    m_contact = new QLineEdit(this);
    m_contact->setFixedSize(200, 30);
    m_contact->setFont(yaHei(12));
    m_contact->setStyleSheet(lineEditStyleSheet());
    m_contact->setPlaceholderText(tr("please input qq or email"));
    contactRow->addWidget(m_contact);
    contactRow->addStretch();
    layout->addLayout(contactRow);

    layout->addStretch();
    m_commit = new QPushButton(tr("commit"), this);
    m_commit->setFixedSize(108, 40);
    m_commit->setFont(yaHei(16));
    m_commit->setStyleSheet(blueButtonStyleSheet());
    m_commit->setCursor(Qt::PointingHandCursor);
    layout->addWidget(m_commit, 0, Qt::AlignHCenter);

    connect(m_close, &QPushButton::clicked, this, &KFeedBackView::onClose);
    connect(m_commit, &QPushButton::clicked, this, &KFeedBackView::onCommit);
}

void KFeedBackView::onClose() { close(); }

void KFeedBackView::onCommit()
{
    // Sent as typed, empty or not; the answer is not awaited.
    KAccoutManager::instance()->sendFeedback(m_content->toPlainText(), m_contact->text());
    close();
}

void KFeedBackView::paintEvent(QPaintEvent *event)
{
    KBaseDialog::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), 30), QColor(240, 233, 255));
}

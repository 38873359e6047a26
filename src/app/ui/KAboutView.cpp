#include "KAboutView.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/Version.h"
#include "app/ui/KApplication.h"
#include "widgets/KShadowBorder.h"
#include "widgets/StyleSheets.h"

namespace {

QLabel *makeLabel(const QString &text, QSize size, int pixelSize, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFixedSize(size);
    QFont font(uiFontFamily());
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color:#5F5F5F;"));
    return label;
}

} // namespace

QString KAboutView::websiteUrl() { return QStringLiteral("https://quorvel.org"); }

KAboutView::KAboutView(QWidget *parent)
    : KBaseDialog(parent)
{
    setFixedSize(380, 200);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground, false);
    setAttribute(Qt::WA_DeleteOnClose);
    new KShadowBorder(this, this, 10);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 0, 16, 0);
    layout->setSpacing(0);

    auto *header = new QHBoxLayout();
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(makeLabel(tr("About"), QSize(200, 30), 14, this));
    header->addSpacing(308);
    auto *close = new QPushButton(this);
    close->setFixedSize(12, 12);
    close->setStyleSheet(buttonStyleSheet(QStringLiteral("closeWindow")));
    close->setFocusPolicy(Qt::NoFocus);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    header->addWidget(close);
    header->addStretch();
    layout->addLayout(header);

    auto *nameRow = new QHBoxLayout();
    nameRow->setContentsMargins(30, 0, 0, 0);
    auto *logo = new QLabel(this);
    logo->setFixedSize(48, 48);
    logo->setPixmap(KApplication::resourcePixmap(QStringLiteral("title")));
    logo->setAlignment(Qt::AlignCenter);
    nameRow->addWidget(logo);
    nameRow->addSpacing(20);
    nameRow->addWidget(makeLabel(tr("quorvel converter"), QSize(100, 48), 16, this));
    nameRow->addSpacing(100);
    layout->addLayout(nameRow);

    auto *versionRow = new QHBoxLayout();
    versionRow->setContentsMargins(30, 10, 0, 0);
    versionRow->addWidget(makeLabel(tr("version:"), QSize(80, 30), 14, this));
    versionRow->addWidget(makeLabel(QStringLiteral(QUORVEL_VERSION), QSize(160, 30), 14, this));
    versionRow->addStretch();
    layout->addLayout(versionRow);

    auto *webRow = new QHBoxLayout();
    webRow->setContentsMargins(30, 0, 0, 0);
    webRow->addWidget(makeLabel(tr("website:"), QSize(80, 30), 14, this));
    m_link = makeLabel(QString(), QSize(160, 30), 14, this);
    m_link->setText(QStringLiteral("<a style=\"color:#0x4393ff\" href=\"%1\">%2</a>")
                        .arg(websiteUrl(), tr("https://quorvel.org")));
    m_link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(m_link, &QLabel::linkActivated, this, &KAboutView::openUrl);
    webRow->addWidget(m_link);
    webRow->addStretch();
    layout->addLayout(webRow);
    layout->addStretch();
}

void KAboutView::openUrl(const QString &url) { QDesktopServices::openUrl(QUrl(url)); }

void KAboutView::paintEvent(QPaintEvent *event)
{
    KBaseDialog::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), 30), QColor(240, 233, 255));
}

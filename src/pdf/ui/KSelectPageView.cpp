#include "KSelectPageView.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "pdf/PageSelection.h"
#include "widgets/KShadowBorder.h"
#include "widgets/StyleSheets.h"

namespace {

const char *const kDimmableLabel = "QLabel{color: #3E3E3E; }QLabel::disabled {color: #999999;}";

QFont dialogFont(int pixelSize)
{
    QFont font(uiFontFamily());
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

KSelectPageView::KSelectPageView(const QString &title, QWidget *parent, int pageCount)
    : KBaseDialog(parent)
    , m_pageCount(pageCount)
{
    registerSelectPageItemMetaType();
    setFixedSize(500, 200);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowModality(Qt::WindowModal);
    new KShadowBorder(this, this, 10);
    setFont(dialogFont(12));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(0);

    auto *header = new QHBoxLayout();
    header->setSpacing(0);
    m_title = new QLabel(title, this);
    m_title->setFixedSize(100, 18);
    m_title->setFont(dialogFont(14));
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->addWidget(m_title);
    header->addStretch();
    m_close = new QPushButton(this);
    m_close->setFixedSize(12, 12);
    m_close->setFocusPolicy(Qt::NoFocus);
    m_close->setStyleSheet(buttonStyleSheet(QStringLiteral("closeWindow")));
    header->addWidget(m_close, 0, Qt::AlignTop);
    layout->addLayout(header);
    layout->addSpacing(14);

    // The four choices need nearly the whole width at 12 px.
    auto *modeRow = new QHBoxLayout();
    modeRow->setContentsMargins(0, 0, 0, 0);
    modeRow->setSpacing(4);
    auto *modeLabel = new QLabel(tr("page select:"), this);
    modeLabel->setFixedSize(80, 30);
    modeLabel->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    modeRow->addWidget(modeLabel);
    m_modes = new QButtonGroup(this);
    m_modes->setExclusive(true);
    const QStringList modeTexts { tr("convert all"), tr("convert odd"), tr("convert even"),
        tr("convert specific") };
    for (int id = 0; id < modeTexts.size(); ++id) {
        auto *radio = new QRadioButton(modeTexts[id], this);
        radio->setStyleSheet(radioStyleSheet());
        radio->setFocusPolicy(Qt::NoFocus);
        radio->setFixedHeight(30);
        m_modes->addButton(radio, id);
        modeRow->addWidget(radio);
    }
    m_modes->button(SelectPageItem::AllPages)->setChecked(true);
    modeRow->addStretch();
    layout->addLayout(modeRow);
    layout->addSpacing(6);

    auto *rangeRow = new QHBoxLayout();
    rangeRow->setContentsMargins(0, 0, 0, 0);
    rangeRow->setSpacing(4);
    m_rangeLabel = new QLabel(tr("page range:"), this);
    m_rangeLabel->setFixedSize(80, 30);
    m_rangeLabel->setStyleSheet(QLatin1String(kDimmableLabel));
    rangeRow->addWidget(m_rangeLabel);
    m_rangeBox = new QLineEdit(this);
    m_rangeBox->setFixedSize(200, 28);
    m_rangeBox->setStyleSheet(lineEditStyleSheet());
    m_rangeBox->setContextMenuPolicy(Qt::NoContextMenu);
    rangeRow->addWidget(m_rangeBox);
    rangeRow->addSpacing(4);
    m_hint = new QLabel(tr("for example: 1, 3-5"), this);
    m_hint->setStyleSheet(QLatin1String(kDimmableLabel));
    m_hint->setFixedHeight(30);
    rangeRow->addWidget(m_hint);
    rangeRow->addStretch();
    layout->addLayout(rangeRow);
    layout->addSpacing(4);

    auto *errorRow = new QHBoxLayout();
    errorRow->setContentsMargins(80 + 4, 0, 0, 0); // under the range box
    m_error = new QLabel(this);
    m_error->setFixedSize(200, 14);
    m_error->setStyleSheet(QStringLiteral("color:#FF4444;"));
    m_error->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    errorRow->addWidget(m_error);
    errorRow->addStretch();
    layout->addLayout(errorRow);
    layout->addStretch();

    auto *buttons = new QHBoxLayout();
    buttons->setSpacing(0);
    buttons->addStretch();
    m_ok = new QPushButton(tr("Ok"), this);
    m_ok->setFixedSize(80, 32);
    m_ok->setStyleSheet(blueButtonStyleSheet());
    buttons->addWidget(m_ok);
    buttons->addSpacing(24);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setFixedSize(80, 32);
    m_cancel->setStyleSheet(whiteButtonStyleSheet());
    buttons->addWidget(m_cancel);
    buttons->addSpacing(14);
    layout->addLayout(buttons);

    // Return in the range box means Ok, never the close button that a
    // dialog would otherwise pick as its default.
    m_close->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    m_ok->setDefault(true);

    // Only typed ranges use the box.
    m_rangeLabel->setEnabled(false);
    m_rangeBox->setEnabled(false);

    connect(m_close, &QPushButton::clicked, this, &KSelectPageView::onClose);
    connect(m_ok, &QPushButton::clicked, this, &KSelectPageView::onBtnOk);
    connect(m_cancel, &QPushButton::clicked, this, &KSelectPageView::onBtnCancel);
    connect(m_modes, &QButtonGroup::idClicked, this, &KSelectPageView::onModeChanged);
    connect(m_rangeBox, &QLineEdit::textChanged, this, &KSelectPageView::onSelectInputPageChanged);
}

QString KSelectPageView::title() const { return m_title->text(); }

QString KSelectPageView::errorText() const { return m_error->text(); }

void KSelectPageView::onSelectInputPageChanged(const QString &text) { m_item.text = text; }

void KSelectPageView::onModeChanged(int id)
{
    m_item.mode = id;
    const bool specific = id == SelectPageItem::SpecificPages;
    m_rangeLabel->setEnabled(specific);
    m_rangeBox->setEnabled(specific);
    if (QAbstractButton *radio = m_modes->button(id))
        radio->setChecked(true);
}

void KSelectPageView::onBtnOk()
{
    // Other modes leave the typed text and the last accepted ranges alone;
    // the row counts their pages from the document.
    if (m_item.mode == SelectPageItem::SpecificPages) {
        const PageSelection::ParsedRanges parsed
            = PageSelection::parseRanges(m_item.text, m_pageCount);
        switch (parsed.error) {
        case PageSelection::RangeError::Format:
            m_error->setText(tr("page range format error!"));
            return;
        case PageSelection::RangeError::BeginExceedsEnd:
            m_error->setText(tr("page begin exceed end"));
            return;
        case PageSelection::RangeError::ExceedsPageSum:
            m_error->setText(tr("page range exceed pages sum"));
            return;
        case PageSelection::RangeError::None:
            break;
        }
        m_item.ranges = parsed.ranges;
    }
    m_error->clear();
    emit selectPageChanged(m_item);
    hide();
}

void KSelectPageView::onBtnCancel() { hide(); }

void KSelectPageView::onClose() { hide(); }

#include "KImageTableOcrView.h"

#include "app/FileUtils.h"
#include "app/PSettings.h"
#include "online/OnlineUploads.h"
#include "online/ui/KImageOcrShowCompareView.h"
#include "online/ui/OnlineViewParts_p.h"

using namespace OnlineViewParts;

namespace {

KOnlineJobView::Setup tableSetup()
{
    KOnlineJobView::Setup setup;
    setup.clientType = 3;
    setup.dialogTitle = KImageTableOcrView::tr("Table recognition");
    setup.modeLabel = KImageTableOcrView::tr("output format:");
    setup.modes = QStringList { KImageTableOcrView::tr("Convert to Word File"),
        KImageTableOcrView::tr("Convert to Excel File") };
    setup.modeWidths = { 80, 80 };
    setup.modeSpacing = 20;
    setup.hint = KImageTableOcrView::tr("supports regular tables with full borders and complex "
                                        "tables with merged cells and support non-form borders");
    setup.hintWidth = 560;
    setup.startSpacing = 706;
    setup.tickStep = 1;
    setup.failureMessage
        = KImageTableOcrView::tr("Picture table recognition result faild, please retry");
    setup.savedMessage = KImageTableOcrView::tr("Picture recognition result has been saved "
                                                "successfully, please open the file or open "
                                                "the folder to view");
    return setup;
}

KImageOcrShowCompareView *makeDisplay()
{
    auto *display = new KImageOcrShowCompareView();
    display->setHintText(
        KImageTableOcrView::tr("*please add convert file, only support png jpg jpeg bmp format"));
    return display;
}

} // namespace

KImageTableOcrView::KImageTableOcrView(QWidget *parent)
    : KOnlineJobView(tableSetup(), makeDisplay(), parent)
    , m_settings(new PSettings(this))
{
    m_display = findChild<KImageOcrShowCompareView *>();
    connect(m_display, &KImageOcrShowCompareView::addFile, this, &KImageTableOcrView::onAddFile);
    connect(
        m_display, &KImageOcrShowCompareView::clearFile, this, &KImageTableOcrView::onClearFile);
}

void KImageTableOcrView::onAddFiles(const QStringList &) { }

int KImageTableOcrView::serviceTypeFor(int mode) const { return mode == ExcelMode ? 4 : 3; }

void KImageTableOcrView::prepareAndStart()
{
    if (!m_image.isNull()) {
        const QSize target = OnlineUploads::pixelTarget(m_image.size(), m_fileSize,
            OnlineUploads::kTableLimitBytes, OnlineUploads::kTableTargetPixels);
        if (target.isValid())
            useReducedCopy(target);
    }
    startJob();
}

void KImageTableOcrView::showSource() { m_display->showSource(m_path, m_image); }

void KImageTableOcrView::showResult(const OcrResult &result)
{
    m_display->showResultImage(result.image);
}

void KImageTableOcrView::resetDisplay() { m_display->reset(); }

void KImageTableOcrView::setDisplayButtonsEnabled(bool enabled)
{
    m_display->setButtonsEnabled(enabled);
}

QString KImageTableOcrView::saveExtension() const
{
    return m_mode == ExcelMode ? QStringLiteral("xlsx") : QStringLiteral("docx");
}

QString KImageTableOcrView::saveFilter() const
{
    return m_mode == ExcelMode ? QStringLiteral("*.xlsx") : QStringLiteral("*.docx");
}

QString KImageTableOcrView::proposedSavePath() const
{
    if (m_path.isEmpty())
        return QString();
    const QString ext = saveExtension();
    return uniqueFilePath(m_folder, m_baseName + QLatin1Char('.') + ext, ext);
}

void KImageTableOcrView::afterLoad()
{
    if (!m_settings->clarityTipEnabled())
        return;
    ask(this, tr("Table recognition"),
        tr("Please make sure that the form can recognize the picture clearly and the text can be "
           "distinguished by the naked eye!"),
        Buttons::Confirm, [this](int answer) {
            if (answer == 1)
                m_settings->setClarityTipEnabled(0);
        });
}

void KImageTableOcrView::afterTimeout()
{
    ask(this, tr("Table recognition"), tr("Picture table recognition result faild, please retry"),
        Buttons::Retry, [this](int answer) {
            if (answer == 1)
                retry();
        });
}

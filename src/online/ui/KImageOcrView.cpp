#include "KImageOcrView.h"

#include "app/FileUtils.h"
#include "online/OnlineUploads.h"
#include "online/ui/KImageOcrShowCompareView.h"

namespace {

KOnlineJobView::Setup textSetup()
{
    KOnlineJobView::Setup setup;
    setup.clientType = 0;
    setup.dialogTitle = KImageOcrView::tr("Text recognition");
    setup.modeLabel = KImageOcrView::tr("output format:");
    setup.modes = QStringList { KImageOcrView::tr("Text"), KImageOcrView::tr("Word") };
    setup.modeWidths = { 80, 80 };
    setup.modeSpacing = 20;
    setup.hint = KImageOcrView::tr("Image file type supports PNG, JPG, JPEG, BMP");
    setup.hintWidth = 260;
    setup.startSpacing = 706;
    setup.tickStep = 1;
    setup.failureMessage = KImageOcrView::tr("Text recognition result faild, please retry");
    setup.savedMessage = KImageOcrView::tr("Picture recognition result has been saved "
                                           "successfully, please open the file or open the "
                                           "folder to view");
    return setup;
}

KImageOcrShowCompareView *makeDisplay()
{
    auto *display = new KImageOcrShowCompareView();
    display->setHintText(
        KImageOcrView::tr("*please add convert file, only support png jpg jpeg bmp format"));
    return display;
}

} // namespace

KImageOcrView::KImageOcrView(QWidget *parent)
    : KOnlineJobView(textSetup(), makeDisplay(), parent)
{
    m_display = findChild<KImageOcrShowCompareView *>();
    connect(m_display, &KImageOcrShowCompareView::addFile, this, &KImageOcrView::onAddFile);
    connect(m_display, &KImageOcrShowCompareView::clearFile, this, &KImageOcrView::onClearFile);
}

int KImageOcrView::serviceTypeFor(int mode) const { return mode == WordMode ? 3 : 0; }

void KImageOcrView::prepareAndStart()
{
    // Text pages from large files go as a picture of about two megapixels;
    // Word pages go as they are.
    if (m_mode == TextMode && !m_image.isNull()) {
        const QSize target = OnlineUploads::pixelTarget(m_image.size(), m_fileSize,
            OnlineUploads::kTextLimitBytes, OnlineUploads::kTextTargetPixels);
        if (target.isValid())
            useReducedCopy(target);
    }
    startJob();
}

void KImageOcrView::showSource() { m_display->showSource(m_path, m_image); }

void KImageOcrView::showResult(const OcrResult &result)
{
    if (m_mode == TextMode)
        m_display->showResultText(QString::fromUtf8(result.data));
    else
        m_display->showResultImage(result.image);
}

void KImageOcrView::resetDisplay() { m_display->reset(); }

void KImageOcrView::setDisplayButtonsEnabled(bool enabled)
{
    m_display->setButtonsEnabled(enabled);
}

QString KImageOcrView::saveExtension() const
{
    return m_mode == WordMode ? QStringLiteral("docx") : QStringLiteral("txt");
}

QString KImageOcrView::saveFilter() const
{
    return m_mode == WordMode ? QStringLiteral("*.docx") : QStringLiteral("*.txt");
}

QString KImageOcrView::proposedSavePath() const
{
    if (m_path.isEmpty())
        return QString();
    const QString ext = saveExtension();
    return uniqueFilePath(m_folder, m_baseName + QLatin1Char('.') + ext, ext);
}

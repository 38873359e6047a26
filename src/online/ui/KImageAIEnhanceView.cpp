#include "KImageAIEnhanceView.h"

#include "app/FileUtils.h"
#include "online/KvHttp.h"
#include "online/OnlineUploads.h"
#include "online/ui/OnlineViewParts_p.h"
#include "widgets/KImageAddImageShowComView.h"

using namespace OnlineViewParts;

namespace {

KOnlineJobView::Setup aiSetup()
{
    KOnlineJobView::Setup setup;
    setup.clientType = 5;
    setup.dialogTitle = KImageAIEnhanceView::tr("AI convert");
    setup.modeLabel = KImageAIEnhanceView::tr("AI Mode:");
    setup.modes = QStringList { KImageAIEnhanceView::tr("Image contrast enhancement"),
        KImageAIEnhanceView::tr("Black and white image coloring"),
        KImageAIEnhanceView::tr("Image stretch recovery") };
    setup.modeWidths = { 100, 80, 100 };
    setup.modeSpacing = 10;
    setup.hint = KImageAIEnhanceView::tr("Image file type supports PNG, JPG, JPEG, BMP");
    setup.hintWidth = 260;
    setup.startSpacing = 581 + 124;
    setup.tickStep = 5;
    setup.followsServiceProgress = false;
    setup.fullBarOnSuccess = false;
    setup.failureMessage = KImageAIEnhanceView::tr("AI convert faild, please retry");
    setup.savedMessage = KImageAIEnhanceView::tr("Picture ai result has been saved successfully, "
                                                 "please open the file or open the folder to "
                                                 "view");
    return setup;
}

KImageAddImageShowComView *makeDisplay()
{
    auto *display = new KImageAddImageShowComView();
    display->setHintText(
        KImageAIEnhanceView::tr("*please add convert file, only support png jpg jpeg bmp format"));
    return display;
}

} // namespace

KImageAIEnhanceView::KImageAIEnhanceView(QWidget *parent)
    : KOnlineJobView(aiSetup(), makeDisplay(), parent)
{
    m_display = findChild<KImageAddImageShowComView *>();
    connect(m_display, &KImageAddImageShowComView::addFile, this, &KImageAIEnhanceView::onAddFile);
    connect(
        m_display, &KImageAddImageShowComView::clearFile, this, &KImageAIEnhanceView::onClearFile);
}

void KImageAIEnhanceView::onSaveResult() { }

QSize KImageAIEnhanceView::requiredSize(int op, const QSize &imageSize, qint64 fileBytes)
{
    if (op == Colouring)
        return OnlineUploads::boxTarget(imageSize, 800, 800);
    return OnlineUploads::pixelTarget(
        imageSize, fileBytes, OnlineUploads::kTextLimitBytes, OnlineUploads::kTextTargetPixels);
}

int KImageAIEnhanceView::serviceTypeFor(int mode) const { return 5 + qBound(0, mode, 2); }

void KImageAIEnhanceView::prepareAndStart()
{
    const QSize target
        = m_image.isNull() ? QSize() : requiredSize(m_mode, m_image.size(), m_fileSize);
    if (!target.isValid()) {
        startJob();
        return;
    }
    ask(this, tr("AI convert"), tr("AI conversion image size is too large, whether compression?"),
        Buttons::Compress, [this, target](int answer) {
            if (answer != 1)
                return;
            useReducedCopy(target);
            startJob();
        });
}

void KImageAIEnhanceView::showSource() { m_display->showImage(m_path, m_image); }

void KImageAIEnhanceView::showResult(const OcrResult &result)
{
    m_display->showCompare(m_image, result.image, quint32(m_fileSize), quint32(result.size));
}

void KImageAIEnhanceView::resetDisplay() { m_display->showAddPrompt(); }

void KImageAIEnhanceView::setDisplayButtonsEnabled(bool enabled)
{
    m_display->setButtonsEnabled(enabled);
}

QString KImageAIEnhanceView::saveExtension() const { return m_suffix; }

QString KImageAIEnhanceView::saveFilter() const { return QString(); }

OcrResult KImageAIEnhanceView::resultFromClient() const
{
    OcrResult result;
    result.data = client()->resultData();
    result.size = result.data.size();
    result.image = QImage::fromData(result.data); // null when it is no picture
    return result;
}

QString KImageAIEnhanceView::proposedSavePath() const
{
    if (m_path.isEmpty())
        return QString();
    // The source's own name with its suffix, made unique: photo.png -> photo(1).png.
    return uniqueFilePath(m_folder, m_fileName, m_suffix);
}

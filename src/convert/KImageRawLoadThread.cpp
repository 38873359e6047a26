#include "KImageRawLoadThread.h"

#include <FreeImage.h>

#include <QFile>

#include "codec/FreeImageLibrary.h"
#include "codec/ImageLimits.h"

KImageRawLoadThread::KImageRawLoadThread(const QString &path, QObject *parent)
    : QThread(parent)
    , m_path(path)
{
    // The first job is the load.
    m_work.release();
}

KImageRawLoadThread::~KImageRawLoadThread()
{
    m_quit = true;
    m_work.release();
    if (isRunning())
        m_finished.acquire();
    // Join the thread rather than poll it: the run loop has returned or is about to.
    wait();
    if (m_developed)
        FreeImage_Unload(m_developed);
}

void KImageRawLoadThread::requestAdjust(int brightness, int contrast)
{
    {
        QMutexLocker lock(&m_mutex);
        m_brightness = brightness;
        m_contrast = contrast;
        m_mode = Mode::Adjust;
        m_progress = 0;
    }
    if (m_work.available() == 0)
        m_work.release();
}

int KImageRawLoadThread::progress() const
{
    QMutexLocker lock(&m_mutex);
    return m_progress;
}

QImage KImageRawLoadThread::result() const
{
    QMutexLocker lock(&m_mutex);
    return m_result;
}

void KImageRawLoadThread::setProgress(int value)
{
    QMutexLocker lock(&m_mutex);
    m_progress = value;
}

void KImageRawLoadThread::run()
{
    for (;;) {
        m_work.acquire();
        if (m_quit) {
            m_finished.release();
            return;
        }
        Mode mode;
        int brightness, contrast;
        {
            QMutexLocker lock(&m_mutex);
            mode = m_mode;
            brightness = m_brightness;
            contrast = m_contrast;
        }
        if (mode == Mode::Develop) {
            const bool ok = develop();
            setProgress(100);
            emit loadStatus(ok);
        } else {
            const bool ok = adjust(brightness, contrast);
            setProgress(100);
            emit ajustStatus(ok);
        }
    }
}

bool KImageRawLoadThread::develop()
{
    // A file that fails must not leave the previous file's picture behind.
    if (m_developed) {
        FreeImage_Unload(m_developed);
        m_developed = nullptr;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_result = QImage();
    }
    setProgress(10);
    if (!FreeImageLibrary::load())
        return false;
    const QByteArray native = QFile::encodeName(m_path);
    FIBITMAP *raw = nullptr;
    // Refuse pictures whose header already promises more pixels than we allow.
    if (FIBITMAP *header
        = FreeImage_Load(FIF_RAW, native.constData(), RAW_DISPLAY | FIF_LOAD_NOPIXELS)) {
        const qint64 pixels = qint64(FreeImage_GetWidth(header)) * FreeImage_GetHeight(header);
        FreeImage_Unload(header);
        if (pixels <= ImageLimits::kMaxPixels)
            raw = FreeImage_Load(FIF_RAW, native.constData(), RAW_DISPLAY);
    } else {
        raw = FreeImage_Load(FIF_RAW, native.constData(), RAW_DISPLAY);
    }
    setProgress(50);
    if (!raw)
        return false; // the pictures stay empty; the view shows nothing new
    m_developed = FreeImage_ConvertTo24Bits(raw);
    FreeImage_Unload(raw);
    if (!m_developed)
        return false;
    setProgress(60);
    FIBITMAP *clone = FreeImage_Clone(m_developed);
    if (!clone)
        return false;
    FreeImage_AdjustBrightness(clone, 50.0);
    setProgress(80);
    const QImage image = toImage(clone);
    FreeImage_Unload(clone);
    QMutexLocker lock(&m_mutex);
    m_result = image;
    return !image.isNull();
}

bool KImageRawLoadThread::adjust(int brightness, int contrast)
{
    if (!m_developed)
        return false;
    FIBITMAP *clone = FreeImage_Clone(m_developed);
    if (!clone)
        return false;
    FreeImage_AdjustBrightness(clone, brightness);
    setProgress(20);
    FreeImage_AdjustContrast(clone, contrast);
    setProgress(50);
    const QImage image = toImage(clone);
    FreeImage_Unload(clone);
    setProgress(70);
    QMutexLocker lock(&m_mutex);
    m_result = image;
    return !image.isNull();
}

QImage KImageRawLoadThread::toImage(FIBITMAP *bitmap)
{
    // Straight from the bitmap (no JPEG round trip), so that a saved PNG keeps
    // every bit of the development.
    const int w = int(FreeImage_GetWidth(bitmap));
    const int h = int(FreeImage_GetHeight(bitmap));
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    for (int y = 0; y < h; ++y) {
        const BYTE *src = FreeImage_GetScanLine(bitmap, h - 1 - y); // FreeImage is bottom-up
        auto *dst = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x, src += 3)
            dst[x] = qRgb(src[FI_RGBA_RED], src[FI_RGBA_GREEN], src[FI_RGBA_BLUE]);
    }
    return image;
}

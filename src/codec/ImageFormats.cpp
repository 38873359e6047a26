#include "ImageFormats.h"

#include <QCoreApplication>
#include <QFileInfo>

ImageFormats::ImageFormats()
    : m_records(ImageFormatCount, nullptr)
{
    add(ImageFormatBmp, false, tr("Bitmap"), { "bmp", "dib" });
    add(ImageFormatJpeg, false, tr("JPEG File Interchange Format"),
        { "jpg", "jpeg", "jpe", "jfif" });
    add(ImageFormatGif, true, tr("Graphics Interchange Format"), { "gif" });
    add(ImageFormatPng, false, tr("Portable Network Graphics"), { "png" });
    add(ImageFormatIco, false, tr("ICO"), { "ico" });
    add(ImageFormatTiff, false, tr("Tag Image File Format"), { "tif", "tiff" });
    add(ImageFormatTga, false, tr("Truevision Graphics Adapter file"), { "tga" });
    add(ImageFormatWebp, true, tr("WEBP"), { "webp" });
    add(ImageFormatWmf, false, tr("Windows Metafile"), { "wmf" });
    add(ImageFormatEmf, false, tr("Enhanced Metafile"), { "emf" });
    add(ImageFormatRaw, false, tr("RAW"),
        { "nef", "crw", "cr2", "mrw", "raf", "3fr", "dcr", "raw", "dng", "pef", "arw", "sr2", "mef",
            "orf", "x3f", "rw2" });
    add(ImageFormatPsd, false, tr("PhotoShop Document"), { "psd" });
    add(ImageFormatPsb, false, tr("PhotoShop Big file"), { "psb" });
    add(ImageFormatSvg, false, tr("Scalable Vector Graphics"), { "svg", "svgz" });
    add(ImageFormatWdp, false, tr("Windows Media Photo"), { "wdp" });
    add(ImageFormatXbm, false, tr("X11 Bitmap"), { "xbm" });
    add(ImageFormatXpm, false, tr("X11 Pixmap"), { "xpm" });
    add(ImageFormatHeif, false, tr("High Efficiency Image File Format"), { "heif", "heic" });
    add(ImageFormatMng, false, tr("MNG File Format"), { "mng", "jng" });
    add(ImageFormatCut, false, tr("Dr. Halo CUT file format"), { "cut" });
    add(ImageFormatHdr, false, tr("HDR File Format"), { "hdr" });
    add(ImageFormatDds, false, tr("DDS File Format"), { "dds" });
}

ImageFormats::~ImageFormats() { qDeleteAll(m_records); }

const ImageFormats &ImageFormats::global()
{
    static const ImageFormats registry;
    return registry;
}

void ImageFormats::add(
    int type, bool animated, const QString &description, const QStringList &extensions)
{
    auto *record = new ImageFormatRecord;
    record->type = type;
    record->animated = animated;
    record->description = description;
    record->extensions = extensions;
    m_records[type] = record;
    for (const QString &ext : extensions)
        m_byExtension.insert(ext, type);
}

const ImageFormatRecord *ImageFormats::formatForExtension(const QString &ext) const
{
    const auto it = m_byExtension.constFind(ext.toLower());
    if (it == m_byExtension.constEnd())
        return &m_unknown;
    return m_records[it.value()];
}

const ImageFormatRecord *ImageFormats::record(int type) const
{
    if (type < 0 || type >= m_records.size() || !m_records[type])
        return &m_unknown;
    return m_records[type];
}

bool ImageFormats::isKnownExtension(const QString &ext) const
{
    return m_byExtension.contains(ext.toLower());
}

QString ImageFormats::entry(const ImageFormatRecord &record)
{
    return record.description + QStringLiteral("(*.")
        + record.extensions.join(QStringLiteral(";*.")) + QStringLiteral(");;");
}

QString ImageFormats::openFilter() const
{
    int last = -1;
    for (int i = 0; i < m_records.size(); ++i)
        if (m_records[i])
            last = i;
    QString filter = tr("All Pictures") + QLatin1Char('(');
    for (int i = 0; i < m_records.size(); ++i) {
        if (!m_records[i])
            continue;
        filter += QStringLiteral("*.") + m_records[i]->extensions.join(QStringLiteral(";*."));
        if (i != last)
            filter += QLatin1Char(';');
    }
    filter += QStringLiteral(");;");
    for (int i = 0; i < m_records.size(); ++i) {
        const ImageFormatRecord *r = m_records[i];
        if (!r)
            continue;
        filter += QCoreApplication::translate("ImageFormats", r->description.toUtf8().constData())
            + QStringLiteral("(*.") + r->extensions.join(QStringLiteral(";*."))
            + (i == last ? QStringLiteral(")") : QStringLiteral(");;"));
    }
    return filter;
}

QString ImageFormats::rawOpenFilter() const { return entry(*m_records[ImageFormatRaw]); }

QString ImageFormats::jpegPngFilter() const
{
    return entry(*m_records[ImageFormatJpeg]) + entry(*m_records[ImageFormatPng]);
}

QString ImageFormats::extensionOf(const QString &fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.mid(dot + 1);
}

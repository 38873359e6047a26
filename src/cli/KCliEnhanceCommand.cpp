#include "KCliEnhanceCommand.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QImageReader>

#include "online/OnlineUploads.h"

QString KCliEnhanceCommand::name() const { return QStringLiteral("enhance"); }

QString KCliEnhanceCommand::summary() const
{
    return QStringLiteral("improve photos with AI (online service)");
}

QString KCliEnhanceCommand::synopsis() const
{
    return QStringLiteral("--mode contrast|color|stretch [options] FILE|FOLDER...");
}

QString KCliEnhanceCommand::details() const
{
    return QStringLiteral(
        "Each image is one job of the online service, one after the other, with at most\n"
        "90 seconds per image. Images over 2 MB (contrast, stretch) or over 800 pixels\n"
        "wide or high (color) are reduced before they are sent, as the window offers.\n"
        "The bundled service is started unless QUORVEL_SERVICE_URL names one.\n");
}

QString KCliEnhanceCommand::runFolderName() const { return QStringLiteral("Enhance Convert"); }

void KCliEnhanceCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption({ QStringLiteral("mode"),
        QStringLiteral("contrast (contrast enhancement), color (colour a black and white "
                       "photo) or stretch (stretch recovery); default contrast."),
        QStringLiteral("mode"), QStringLiteral("contrast") });
}

bool KCliEnhanceCommand::configure(const QCommandLineParser &parser, QString *error)
{
    const QString mode = parser.value(QStringLiteral("mode")).toLower();
    if (mode == QLatin1String("contrast"))
        m_type = 5;
    else if (mode == QLatin1String("color") || mode == QLatin1String("colour"))
        m_type = 6;
    else if (mode == QLatin1String("stretch"))
        m_type = 7;
    else {
        *error = QStringLiteral("--mode must be contrast, color or stretch");
        return false;
    }
    return true;
}

int KCliEnhanceCommand::serviceType() const { return m_type; }

QSize KCliEnhanceCommand::uploadSize(const QSize &imageSize, qint64 fileBytes) const
{
    if (m_type == 6)
        return OnlineUploads::boxTarget(imageSize, 800, 800);
    return pixelTarget(imageSize, fileBytes, 2097152, 2073600);
}

QString KCliEnhanceCommand::writeResult(
    const QString &input, const QByteArray &data, const QString &outputDir, QString *error)
{
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format().toLower();
    if (format.isEmpty() || !reader.canRead()) {
        *error = QStringLiteral("the online service returned no image");
        return QString();
    }
    // The source's extension when the result is in that format, otherwise the
    // result's own (a BMP comes back as PNG).
    const QFileInfo source(input);
    const QString suffix = source.suffix().toLower();
    QString resultExt = QString::fromLatin1(format);
    if (format == "jpeg")
        resultExt = QStringLiteral("jpg");
    else if (format == "tiff")
        resultExt = QStringLiteral("tif");
    const bool same = suffix == resultExt
        || (resultExt == QLatin1String("jpg")
            && (suffix == QLatin1String("jpeg") || suffix == QLatin1String("jpe")))
        || (resultExt == QLatin1String("tif") && suffix == QLatin1String("tiff"));
    const QString ext = same ? source.suffix() : resultExt;
    return writeNewFile(outputDir, source.fileName(), ext, data, error);
}

#include "KColorizer.h"

#include <cstring>

#include <opencv2/imgproc.hpp>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "EnginePictures.h"

namespace engines {

const char *const KColorizer::networkFile = "colorization_deploy_v2.prototxt";
const char *const KColorizer::weightsFile = "colorization_release_v2.caffemodel";
const char *const KColorizer::weightsFileAlt = "colorization_release_v2_norebal.caffemodel";
const char *const KColorizer::pointsFile = "pts_in_hull.npy";

namespace {

// Scale the network's authors apply to the class scores before the softmax
// (the inverse of the annealing temperature 0.38).
constexpr float annealedScale = 2.606f;

template <typename T> void copyAs(const char *data, int count, float *out)
{
    for (int i = 0; i < count; ++i) {
        T value;
        memcpy(&value, data + size_t(i) * sizeof(T), sizeof(T));
        out[i] = float(value);
    }
}

} // namespace

bool KColorizer::readPoints(const QString &path, cv::Mat *points, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024 * 1024) {
        *error = QStringLiteral("%1 cannot be read").arg(QFileInfo(path).fileName());
        return false;
    }
    const QByteArray bytes = file.readAll();
    const auto invalid = [&](const QString &why) {
        *error = QStringLiteral("%1 is not a usable point array: %2")
                     .arg(QFileInfo(path).fileName(), why);
        return false;
    };
    if (bytes.size() < 12 || !bytes.startsWith("\x93NUMPY"))
        return invalid(QStringLiteral("no .npy header"));
    const int major = uchar(bytes[6]);
    int headerLength = 0;
    int offset = 0;
    if (major == 1) {
        headerLength = uchar(bytes[8]) | (uchar(bytes[9]) << 8);
        offset = 10;
    } else if (major == 2 || major == 3) {
        if (bytes.size() < 12)
            return invalid(QStringLiteral("truncated header"));
        headerLength = int(uchar(bytes[8]) | (uchar(bytes[9]) << 8) | (uchar(bytes[10]) << 16)
            | (quint32(uchar(bytes[11])) << 24));
        offset = 12;
    } else {
        return invalid(QStringLiteral("unknown version %1").arg(major));
    }
    if (headerLength <= 0 || offset + headerLength > bytes.size())
        return invalid(QStringLiteral("truncated header"));
    const QString header = QString::fromLatin1(bytes.mid(offset, headerLength));
    const QRegularExpressionMatch descr
        = QRegularExpression(QStringLiteral("'descr'\\s*:\\s*'([<>|=])([fiu])(\\d)'"))
              .match(header);
    const QRegularExpressionMatch shape = QRegularExpression(
        QStringLiteral("'shape'\\s*:\\s*\\(\\s*(\\d+)\\s*,\\s*(\\d+)\\s*,?\\s*\\)"))
                                              .match(header);
    if (!descr.hasMatch() || !shape.hasMatch())
        return invalid(QStringLiteral("not a two-column array"));
    if (header.contains(QLatin1String("'fortran_order': True")))
        return invalid(QStringLiteral("Fortran order is not supported"));
    if (descr.captured(1) == QLatin1String(">"))
        return invalid(QStringLiteral("big-endian data is not supported"));
    const QChar kind = descr.captured(2).at(0);
    const int width = descr.captured(3).toInt();
    const int rows = shape.captured(1).toInt();
    const int cols = shape.captured(2).toInt();
    if (cols != 2 || rows <= 0 || rows > 100000)
        return invalid(QStringLiteral("shape (%1, %2), expected (K, 2)").arg(rows).arg(cols));
    const int count = rows * cols;
    const char *data = bytes.constData() + offset + headerLength;
    if (bytes.size() - offset - headerLength < qint64(count) * width)
        return invalid(QStringLiteral("truncated data"));
    cv::Mat out(rows, 2, CV_32F);
    float *dst = out.ptr<float>();
    if (kind == QLatin1Char('f') && width == 4)
        copyAs<float>(data, count, dst);
    else if (kind == QLatin1Char('f') && width == 8)
        copyAs<double>(data, count, dst);
    else if (kind == QLatin1Char('i') && width == 4)
        copyAs<qint32>(data, count, dst);
    else if (kind == QLatin1Char('i') && width == 8)
        copyAs<qint64>(data, count, dst);
    else
        return invalid(QStringLiteral("element type %1%2 is not supported").arg(kind).arg(width));
    *points = out;
    return true;
}

bool KColorizer::load(const QString &modelsDir)
{
    m_net = cv::dnn::Net();
    const QDir dir(modelsDir);
    const QString network = dir.filePath(QString::fromLatin1(networkFile));
    QString weights = dir.filePath(QString::fromLatin1(weightsFile));
    if (!QFileInfo::exists(weights))
        weights = dir.filePath(QString::fromLatin1(weightsFileAlt));
    const QString points = dir.filePath(QString::fromLatin1(pointsFile));
    if (modelsDir.isEmpty() || !QFileInfo::exists(network) || !QFileInfo::exists(weights)
        || !QFileInfo::exists(points)) {
        m_failure = EngineFailure::ModelMissing;
        m_error = modelsDir.isEmpty()
            ? QStringLiteral("colouring needs a model folder (--models or QUORVEL_MODELS)")
            : QStringLiteral("colouring needs %1, %2 and %3 in %4")
                  .arg(QString::fromLatin1(networkFile), QString::fromLatin1(weightsFile),
                      QString::fromLatin1(pointsFile), modelsDir);
        return false;
    }
    m_failure = EngineFailure::ModelInvalid;
    cv::Mat hull;
    if (!readPoints(points, &hull, &m_error))
        return false;
    try {
        m_net = cv::dnn::readNetFromCaffe(
            QFile::encodeName(network).toStdString(), QFile::encodeName(weights).toStdString());
    } catch (const cv::Exception &e) {
        m_error = QStringLiteral("the colouring network cannot be read: %1")
                      .arg(QString::fromStdString(e.msg).trimmed());
        return false;
    }
    if (m_net.empty()) {
        m_error = QStringLiteral("the colouring network is empty");
        return false;
    }
    const int classLayer = m_net.getLayerId("class8_ab");
    const int scaleLayer = m_net.getLayerId("conv8_313_rh");
    if (classLayer < 0 || scaleLayer < 0) {
        m_error = QStringLiteral("the network is not a colourisation network "
                                 "(layers class8_ab and conv8_313_rh are missing)");
        m_net = cv::dnn::Net();
        return false;
    }
    // The points become the 1x1 convolution that turns class probabilities
    // into an expected (a, b) colour; the scale layer gets the annealing factor.
    const int k = hull.rows;
    cv::Mat kernel = hull.t();
    const int shape[] = { 2, k, 1, 1 };
    m_net.getLayer(classLayer)->blobs.assign(1, kernel.clone().reshape(1, 4, shape));
    m_net.getLayer(scaleLayer)->blobs.assign(1, cv::Mat(1, k, CV_32F, cv::Scalar(annealedScale)));
    m_failure = EngineFailure::None;
    m_error.clear();
    return true;
}

QImage KColorizer::colorize(const QImage &source)
{
    if (m_failure != EngineFailure::None || source.isNull())
        return QImage();
    cv::Mat bgr;
    toBgrMat(source).convertTo(bgr, CV_32F, 1.0 / 255.0);
    cv::Mat lab;
    cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab);
    cv::Mat small;
    cv::resize(bgr, small, cv::Size(inputSide, inputSide), 0, 0, cv::INTER_AREA);
    cv::Mat smallLab;
    cv::cvtColor(small, smallLab, cv::COLOR_BGR2Lab);
    cv::Mat lightness;
    cv::extractChannel(smallLab, lightness, 0);
    lightness -= 50; // the network was trained on mean-centred lightness
    cv::Mat ab;
    try {
        m_net.setInput(cv::dnn::blobFromImage(lightness));
        ab = m_net.forward();
    } catch (const cv::Exception &e) {
        m_error = QStringLiteral("the colouring network cannot run: %1")
                      .arg(QString::fromStdString(e.msg).trimmed());
        m_failure = EngineFailure::ModelInvalid;
        return QImage();
    }
    if (ab.dims != 4 || ab.size[0] != 1 || ab.size[1] != 2) {
        m_error = QStringLiteral("the colouring network gives an output of the wrong shape");
        m_failure = EngineFailure::ModelInvalid;
        return QImage();
    }
    const int h = ab.size[2];
    const int w = ab.size[3];
    cv::Mat a(h, w, CV_32F, ab.ptr<float>(0, 0));
    cv::Mat b(h, w, CV_32F, ab.ptr<float>(0, 1));
    cv::Mat aFull, bFull;
    cv::resize(a, aFull, bgr.size(), 0, 0, cv::INTER_CUBIC);
    cv::resize(b, bFull, bgr.size(), 0, 0, cv::INTER_CUBIC);
    std::vector<cv::Mat> channels;
    cv::split(lab, channels);
    channels[1] = aFull;
    channels[2] = bFull;
    cv::Mat merged, colour;
    cv::merge(channels, merged);
    cv::cvtColor(merged, colour, cv::COLOR_Lab2BGR);
    cv::Mat out;
    colour.convertTo(out, CV_8U, 255.0); // saturates out-of-gamut values
    return fromMat(out);
}

} // namespace engines

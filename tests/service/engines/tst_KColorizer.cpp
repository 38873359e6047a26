#include <cstring>

#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include "EngineTestUtils.h"
#include "Engines.h"
#include "KColorizer.h"

using namespace engines;

namespace {

// Protocol-buffer wire format, just enough for a Caffe weights file.
QByteArray varint(quint64 value)
{
    QByteArray out;
    do {
        uchar byte = value & 0x7f;
        value >>= 7;
        if (value)
            byte |= 0x80;
        out.append(char(byte));
    } while (value);
    return out;
}

QByteArray field(int number, const QByteArray &payload)
{
    return varint(quint64(number) << 3 | 2) + varint(quint64(payload.size())) + payload;
}

QByteArray blob(const QVector<int> &shape, const QVector<float> &values)
{
    QByteArray dims;
    for (int d : shape)
        dims += varint(quint64(d));
    QByteArray data(values.size() * 4, '\0');
    memcpy(data.data(), values.constData(), size_t(data.size()));
    return field(7, field(1, dims)) + field(5, data); // BlobProto.shape.dim, BlobProto.data
}

QByteArray layerWeights(const QByteArray &name, const QVector<QByteArray> &blobs)
{
    QByteArray layer = field(1, name);
    for (const QByteArray &b : blobs)
        layer += field(7, b); // LayerParameter.blobs
    return field(100, layer); // NetParameter.layer
}

QByteArray npy(const QVector<float> &values, int rows, int cols)
{
    QByteArray header
        = QStringLiteral("{'descr': '<f4', 'fortran_order': False, 'shape': (%1, %2), }")
              .arg(rows)
              .arg(cols)
              .toLatin1();
    while ((10 + header.size() + 1) % 64)
        header += ' ';
    header += '\n';
    QByteArray out("\x93NUMPY\x01\x00", 8);
    out += char(header.size() & 0xff);
    out += char(header.size() >> 8);
    out += header;
    QByteArray data(values.size() * 4, '\0');
    memcpy(data.data(), values.constData(), size_t(data.size()));
    return out + data;
}

// The layer names and shapes of a real colourisation network, four colour
// points instead of 313 and a single 1x1 convolution before them.
const char tinyNetwork[] = R"(name: "tiny_colorization"
layer { name: "data_l" type: "Input" top: "data_l"
        input_param { shape { dim: 1 dim: 1 dim: 224 dim: 224 } } }
layer { name: "conv8_313" type: "Convolution" bottom: "data_l" top: "conv8_313"
        convolution_param { num_output: 4 kernel_size: 1 } }
layer { name: "conv8_313_rh" type: "Scale" bottom: "conv8_313" top: "conv8_313_rh"
        scale_param { bias_term: false } }
layer { name: "class8_313_rh" type: "Softmax" bottom: "conv8_313_rh" top: "class8_313_rh" }
layer { name: "class8_ab" type: "Convolution" bottom: "class8_313_rh" top: "class8_ab"
        convolution_param { num_output: 2 kernel_size: 1 bias_term: false } }
)";

// Point 0 is a warm orange (a = 30, b = 60); the bias makes the network pick it.
QByteArray tinyWeights()
{
    return layerWeights(
        "conv8_313", { blob({ 4, 1, 1, 1 }, { 0, 0, 0, 0 }), blob({ 4 }, { 8, 0, 0, 0 }) });
}

const QVector<float> tinyPoints { 30, 60, -40, -40, 0, 50, 20, -30 };

void writeModel(const QString &dir, const QByteArray &network, const QByteArray &weights,
    const QByteArray &points)
{
    if (!network.isNull())
        EngineTestUtils::writeTo(dir + QStringLiteral("/colorization_deploy_v2.prototxt"), network);
    if (!weights.isNull())
        EngineTestUtils::writeTo(
            dir + QStringLiteral("/colorization_release_v2.caffemodel"), weights);
    if (!points.isNull())
        EngineTestUtils::writeTo(dir + QStringLiteral("/pts_in_hull.npy"), points);
}

QImage greyGradient()
{
    QImage image(160, 100, QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.scanLine(y)[x] = uchar(60 + x);
    return image;
}

} // namespace

// Colouring: the model is found, loaded and completed from its files, and
// every way of it being absent or unusable ends in a failure with a reason.
class tst_KColorizer : public QObject
{
    Q_OBJECT

private slots:
    void modelsFolderFromArguments();
    void withoutModelFailsWithReason();
    void tinyNetworkColoursGreyPicture();
    void unusableModelFiles_data();
    void unusableModelFiles();
};

void tst_KColorizer::modelsFolderFromArguments()
{
    qputenv("QUORVEL_MODELS", "/env/models");
    QCOMPARE(modelsDirFromArguments(
                 { QStringLiteral("svc"), QStringLiteral("--models"), QStringLiteral("/a") }),
        QStringLiteral("/a"));
    QCOMPARE(modelsDirFromArguments({ QStringLiteral("svc"), QStringLiteral("--models=/b") }),
        QStringLiteral("/b"));
    QCOMPARE(modelsDirFromArguments(
                 { QStringLiteral("svc"), QStringLiteral("--data"), QStringLiteral("/d") }),
        QStringLiteral("/env/models"));
    qunsetenv("QUORVEL_MODELS");
    QCOMPARE(modelsDirFromArguments({ QStringLiteral("svc") }), QString());
}

void tst_KColorizer::withoutModelFailsWithReason()
{
    const QByteArray picture = EngineTestUtils::png(greyGradient());
    EngineContext context;
    EngineResult result = piccolor(picture, context);
    QCOMPARE(result.failure, EngineFailure::ModelMissing);
    QCOMPARE(failureCodeName(result.failure), QStringLiteral("model_missing"));
    QVERIFY2(result.reason.contains(QLatin1String("QUORVEL_MODELS")), qPrintable(result.reason));
    QVERIFY(result.data.isEmpty());

    // A folder holding only some of the files names what is missing.
    QTemporaryDir dir;
    writeModel(dir.path(), tinyNetwork, QByteArray(), npy(tinyPoints, 4, 2));
    context.modelsDir = dir.path();
    result = piccolor(picture, context);
    QCOMPARE(result.failure, EngineFailure::ModelMissing);
    QVERIFY2(result.reason.contains(QLatin1String("colorization_release_v2.caffemodel")),
        qPrintable(result.reason));
}

void tst_KColorizer::tinyNetworkColoursGreyPicture()
{
    QTemporaryDir dir;
    writeModel(dir.path(), tinyNetwork, tinyWeights(), npy(tinyPoints, 4, 2));
    const QImage source = greyGradient();
    EngineContext context;
    context.modelsDir = dir.path();
    int last = -1;
    context.progress = [&last](int p) { last = p; };
    const EngineResult result = piccolor(EngineTestUtils::png(source), context);
    QVERIFY2(result.ok(), qPrintable(result.reason));
    QCOMPARE(result.suffix, QStringLiteral("png"));
    QCOMPARE(last, 100);
    const QImage coloured = QImage::fromData(result.data);
    QCOMPARE(coloured.size(), source.size());
    for (const QPoint p : { QPoint(10, 10), QPoint(80, 50), QPoint(150, 90) }) {
        const QRgb c = coloured.pixel(p);
        // Orange: red well above blue, and the lightness of the source kept.
        QVERIFY2(qRed(c) - qBlue(c) > 40,
            qPrintable(QStringLiteral("pixel %1,%2 = %3").arg(p.x()).arg(p.y()).arg(c, 0, 16)));
        const int grey = source.pixelColor(p).red();
        QVERIFY(qAbs(qGray(c) - grey) < 30);
    }
}

void tst_KColorizer::unusableModelFiles_data()
{
    QTest::addColumn<QByteArray>("network");
    QTest::addColumn<QByteArray>("weights");
    QTest::addColumn<QByteArray>("points");
    QTest::addColumn<QString>("reasonPart");
    const QByteArray net(tinyNetwork);
    QTest::newRow("points with three columns")
        << net << tinyWeights() << npy(tinyPoints.mid(0, 6), 2, 3) << "(K, 2)";
    QTest::newRow("points file truncated")
        << net << tinyWeights() << npy(tinyPoints, 4, 2).left(80) << "truncated";
    QTest::newRow("weights are not protobuf")
        << net << QByteArray(300, '\xff') << npy(tinyPoints, 4, 2) << "cannot be read";
    QByteArray withoutClassLayer = net;
    withoutClassLayer.replace("\"class8_ab\"", "\"final_ab\"");
    QTest::newRow("not a colourisation network")
        << withoutClassLayer << tinyWeights() << npy(tinyPoints, 4, 2) << "class8_ab";
    QTest::newRow("point count does not fit the network")
        << net << tinyWeights() << npy(QVector<float>(12, 1), 6, 2) << "cannot run";
}

void tst_KColorizer::unusableModelFiles()
{
    QFETCH(QByteArray, network);
    QFETCH(QByteArray, weights);
    QFETCH(QByteArray, points);
    QFETCH(QString, reasonPart);
    QTemporaryDir dir;
    writeModel(dir.path(), network, weights, points);
    EngineContext context;
    context.modelsDir = dir.path();
    const EngineResult result = piccolor(EngineTestUtils::png(greyGradient()), context);
    QCOMPARE(result.failure, EngineFailure::ModelInvalid);
    QVERIFY2(result.reason.contains(reasonPart), qPrintable(result.reason));
    QVERIFY(result.data.isEmpty());
}

QTEST_MAIN(tst_KColorizer)
#include "tst_KColorizer.moc"

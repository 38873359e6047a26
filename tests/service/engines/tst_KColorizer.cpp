#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include "EngineTestUtils.h"
#include "Engines.h"
#include "KColorizer.h"
#include "TinyColourModel.h"

using namespace engines;
using TinyColourModel::npy;
using TinyColourModel::points;

namespace {

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
    TinyColourModel::write(
        dir.path(), TinyColourModel::network(), QByteArray(), npy(points(), 4, 2));
    context.modelsDir = dir.path();
    result = piccolor(picture, context);
    QCOMPARE(result.failure, EngineFailure::ModelMissing);
    QVERIFY2(result.reason.contains(QLatin1String("colorization_release_v2.caffemodel")),
        qPrintable(result.reason));
}

void tst_KColorizer::tinyNetworkColoursGreyPicture()
{
    QTemporaryDir dir;
    TinyColourModel::write(
        dir.path(), TinyColourModel::network(), TinyColourModel::weights(), npy(points(), 4, 2));
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
    const QByteArray net = TinyColourModel::network();
    QTest::newRow("points with three columns")
        << net << TinyColourModel::weights() << npy(points().mid(0, 6), 2, 3) << "(K, 2)";
    QTest::newRow("points file truncated")
        << net << TinyColourModel::weights() << npy(points(), 4, 2).left(80) << "truncated";
    QTest::newRow("weights are not protobuf")
        << net << QByteArray(300, '\xff') << npy(points(), 4, 2) << "cannot be read";
    QByteArray withoutClassLayer = net;
    withoutClassLayer.replace("\"class8_ab\"", "\"final_ab\"");
    QTest::newRow("not a colourisation network")
        << withoutClassLayer << TinyColourModel::weights() << npy(points(), 4, 2) << "class8_ab";
    QTest::newRow("point count does not fit the network")
        << net << TinyColourModel::weights() << npy(QVector<float>(12, 1), 6, 2) << "cannot run";
}

void tst_KColorizer::unusableModelFiles()
{
    QFETCH(QByteArray, network);
    QFETCH(QByteArray, weights);
    QFETCH(QByteArray, points);
    QFETCH(QString, reasonPart);
    QTemporaryDir dir;
    TinyColourModel::write(dir.path(), network, weights, points);
    EngineContext context;
    context.modelsDir = dir.path();
    const EngineResult result = piccolor(EngineTestUtils::png(greyGradient()), context);
    QCOMPARE(result.failure, EngineFailure::ModelInvalid);
    QVERIFY2(result.reason.contains(reasonPart), qPrintable(result.reason));
    QVERIFY(result.data.isEmpty());
}

QTEST_MAIN(tst_KColorizer)
#include "tst_KColorizer.moc"

// The picture preparation in front of Tesseract, and one recognition of a
// picture that plain recognition finds hard, in-process.

#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include "ServiceTestClient.h"
#include "TextRecognitionEngine.h"

using namespace quorvel::service;

namespace {

// Dark grey text on light grey paper, turned by `degrees` (clockwise on screen).
QImage turnedText(const QString &text, int pixelSize, double degrees, int ink, int paper)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    QImage image(pixelSize * 40, pixelSize * 8, QImage::Format_Grayscale8);
    image.fill(QColor(paper, paper, paper));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(QColor(ink, ink, ink));
    painter.translate(image.width() / 2.0, image.height() / 2.0);
    painter.rotate(degrees);
    painter.drawText(QRectF(-image.width() / 2.0, -pixelSize * 3.0, image.width(), pixelSize * 6.0),
        Qt::AlignCenter | Qt::TextWordWrap, text);
    return image;
}

cv::Mat toMat(const QImage &grey)
{
    return cv::Mat(grey.height(), grey.width(), CV_8UC1, const_cast<uchar *>(grey.constBits()),
        size_t(grey.bytesPerLine()))
        .clone();
}

const QString kSentence = QStringLiteral("Pack my box with five dozen liquor jugs and seven maps");

} // namespace

class tst_TextRecognitionEngine : public QObject
{
    Q_OBJECT

private slots:
    void preparation_data();
    void preparation();
    void recognisesSmallFaintTurnedText();
};

void tst_TextRecognitionEngine::preparation_data()
{
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<double>("degrees");
    QTest::addColumn<int>("ink");
    QTest::addColumn<int>("paper");
    QTest::newRow("small text, 2 degrees clockwise") << 11 << 2.0 << 60 << 230;
    QTest::newRow("small text, 2 degrees anticlockwise") << 11 << -2.0 << 60 << 230;
    QTest::newRow("low contrast, straight") << 14 << 0.0 << 150 << 190;
    QTest::newRow("large text, 3 degrees") << 64 << 3.0 << 0 << 255;
    QTest::newRow("light text on dark ground") << 16 << 0.0 << 230 << 30;
}

void tst_TextRecognitionEngine::preparation()
{
    QFETCH(int, pixelSize);
    QFETCH(double, degrees);
    QFETCH(int, ink);
    QFETCH(int, paper);
    const cv::Mat grey = toMat(turnedText(kSentence, pixelSize, degrees, ink, paper));
    const TextPreparation prepared = prepareForRecognition(grey);
    // The turn is undone (our angle counts anticlockwise), small text grows, big text does not.
    QVERIFY2(std::abs(prepared.skewDegrees - degrees) <= 0.5,
        qPrintable(QString::number(prepared.skewDegrees)));
    if (pixelSize < 20)
        QVERIFY2(prepared.scale >= 1.8, qPrintable(QString::number(prepared.scale)));
    else
        QCOMPARE(prepared.scale, 1.0);
    // Binary, black text on white, white frame.
    QCOMPARE(prepared.binary.type(), CV_8UC1);
    const cv::Mat border = prepared.binary.row(0);
    QCOMPARE(cv::countNonZero(border), border.cols);
    const int ink_pixels = int(prepared.binary.total()) - cv::countNonZero(prepared.binary);
    QVERIFY(ink_pixels > 0 && ink_pixels < int(prepared.binary.total()) / 4);
}

void tst_TextRecognitionEngine::recognisesSmallFaintTurnedText()
{
    QImage picture = turnedText(kSentence, 12, 2.0, 110, 200);
    // Sensor-like noise.
    quint32 seed = 7;
    for (int y = 0; y < picture.height(); ++y) {
        uchar *line = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = uchar(qBound(0, line[x] + int(seed >> 28) - 8, 255));
        }
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("faint.png"));
    QVERIFY(picture.save(path));
    int lastProgress = -1;
    bool increasing = true;
    const EngineOutcome outcome
        = recogniseText(EngineJob { "pic2txt", path.toStdString(), "png", "" }, [&](int percent) {
              increasing = increasing && percent >= lastProgress;
              lastProgress = percent;
              return true;
          });
    QVERIFY2(outcome.ok(), outcome.reason.c_str());
    QCOMPARE(outcome.resultSuffix, std::string("txt"));
    QCOMPARE(QString::fromStdString(outcome.result).simplified(), kSentence);
    QVERIFY(increasing);
    QVERIFY(lastProgress >= 90);
}

QTEST_MAIN(tst_TextRecognitionEngine)
#include "tst_TextRecognitionEngine.moc"

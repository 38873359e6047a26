#include <QFile>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "codec/BmpWriter.h"

namespace {

QImage picture(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(uint(width * 31 + height));
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgba(
                int(random.bounded(256)), (x * 7) & 0xff, (y * 3) & 0xff, int(random.bounded(256)));
    }
    return image.convertToFormat(format);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_BmpWriter : public QObject
{
    Q_OBJECT
private slots:
    void toolkitsBytes_data();
    void toolkitsBytes();
    void failuresLeaveNothingAndSayWhy();
};

void tst_BmpWriter::toolkitsBytes_data()
{
    QTest::addColumn<QImage>("image");
    // Widths of 1 to 4 pixels: rows padded with 1, 2, 3 and no bytes.
    for (int width = 1; width <= 4; ++width)
        QTest::addRow("RGB32 %dx3", width) << picture(width, 3, QImage::Format_RGB32);
    // Rows of 6000 bytes: several blocks, the last one short.
    QTest::newRow("RGB32 2000x150") << picture(2000, 150, QImage::Format_RGB32);
    QTest::newRow("ARGB32, alpha left out") << picture(203, 151, QImage::Format_ARGB32);
    QTest::newRow("premultiplied") << picture(97, 41, QImage::Format_ARGB32_Premultiplied);
    QTest::newRow("RGB888") << picture(97, 41, QImage::Format_RGB888);
    QTest::newRow("RGBA64") << picture(33, 17, QImage::Format_RGBA64);
    QImage dense = picture(80, 60, QImage::Format_RGB32);
    dense.setDotsPerMeterX(11811);
    dense.setDotsPerMeterY(5000);
    QTest::newRow("11811 by 5000 dots per metre") << dense;
    QImage none = picture(80, 60, QImage::Format_RGB32);
    none.setDotsPerMeterX(0);
    none.setDotsPerMeterY(0);
    QTest::newRow("no resolution") << none;
}

// The toolkit's writer is the reference, byte for byte; rows handed over a
// block at a time give the same file.
void tst_BmpWriter::toolkitsBytes()
{
    QFETCH(QImage, image);
    QTemporaryDir dir;
    const QString theirs = dir.filePath("theirs.bmp");
    QVERIFY(QImageWriter(theirs, "bmp").write(image));
    const QByteArray expected = fileBytes(theirs);

    QVERIFY(BmpWriter::takes(image));
    const QString ours = dir.filePath("ours.bmp");
    QString error;
    QVERIFY2(BmpWriter::write(image, ours, &error), qPrintable(error));
    QCOMPARE(fileBytes(ours).size(), expected.size());
    QVERIFY(fileBytes(ours) == expected);

    if (image.hasAlphaChannel())
        return; // writeRows takes opaque pictures
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int asked = 0;
    const RowSource next = [&](uchar *const *rows, int first, int count) {
        if (first != asked)
            return false; // from the top, block after block
        for (int i = 0; i < count; ++i)
            memcpy(rows[i], rgb.constScanLine(first + i), size_t(rgb.width()) * 4);
        asked += count;
        return true;
    };
    const QString byRows = dir.filePath("rows.bmp");
    QImage metadata(1, 1, QImage::Format_RGB32);
    metadata.setDotsPerMeterX(image.dotsPerMeterX());
    metadata.setDotsPerMeterY(image.dotsPerMeterY());
    QVERIFY2(BmpWriter::writeRows(image.size(), metadata, next, byRows, &error), qPrintable(error));
    QCOMPARE(asked, image.height());
    QVERIFY(fileBytes(byRows) == expected);
}

void tst_BmpWriter::failuresLeaveNothingAndSayWhy()
{
    const QImage image = picture(800, 600, QImage::Format_RGB32);
    QTemporaryDir dir;
    QString error;
    QVERIFY(!BmpWriter::takes(picture(8, 8, QImage::Format_Indexed8)));
    QVERIFY(!BmpWriter::write(QImage(), dir.filePath("none.bmp"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath("none.bmp")));

    error.clear();
    QVERIFY(!BmpWriter::write(image, dir.filePath("gone/out.bmp"), &error));
    QCOMPARE(error, QStringLiteral("the folder does not exist"));

    // A source that gives up halfway: nothing stays, and the source is blamed.
    int calls = 0;
    const RowSource failing = [&calls](uchar *const *rows, int, int count) {
        for (int i = 0; i < count; ++i)
            memset(rows[i], 0x80, 800 * 4);
        return ++calls < 2;
    };
    bool sourceFailed = false;
    error.clear();
    const QString half = dir.filePath("half.bmp");
    QVERIFY(!BmpWriter::writeRows(image.size(), image, failing, half, &error, &sourceFailed));
    QVERIFY(sourceFailed);
    QCOMPARE(error, QStringLiteral("the picture could not be read"));
    QVERIFY(!QFile::exists(half));

    // Refused halfway through, as a full disk would: nothing stays.
    const QString path = dir.filePath("big.bmp");
    error.clear();
    const bool written = TestUtils::underFileSizeLimit(
        100000, [&] { return BmpWriter::write(image, path, &error); });
    QVERIFY(!written);
    QCOMPARE(error, QStringLiteral("the file is too large for the device"));
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(tst_BmpWriter)
#include "tst_BmpWriter.moc"

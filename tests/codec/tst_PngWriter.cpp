#include <QColorSpace>
#include <QFile>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "codec/PngWriter.h"

namespace {

QImage picture(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(uint(width * 13 + height));
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgba((x * 3 + y) & 0xff, (y * 5) & 0xff, int(random.bounded(64)),
                int(random.bounded(256)));
    }
    return image.convertToFormat(format);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_PngWriter : public QObject
{
    Q_OBJECT
private slots:
    void toolkitsBytes_data();
    void toolkitsBytes();
    void failuresLeaveNothingAndSayWhy();
};

void tst_PngWriter::toolkitsBytes_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("quality");

    const QImage photo = picture(203, 151, QImage::Format_RGB32);
    QTest::newRow("RGB32, the program's quality") << photo << 80;
    QTest::newRow("RGB32 1x1") << picture(1, 1, QImage::Format_RGB32) << 80;
    QTest::newRow("RGB32, several blocks of rows") << picture(700, 300, QImage::Format_RGB32) << 80;
    QTest::newRow("zlib's default level") << photo << -1;
    QTest::newRow("stored") << photo << 100;
    QTest::newRow("hardest") << photo << 0;
    QTest::newRow("ARGB32") << picture(97, 41, QImage::Format_ARGB32) << 80;
    QTest::newRow("premultiplied") << picture(97, 41, QImage::Format_ARGB32_Premultiplied) << 80;

    // Profiles under their descriptions: named spaces, a profile read from
    // bytes (as decoders attach them), and one the toolkit describes itself.
    const QColorSpace::NamedColorSpace named[]
        = { QColorSpace::SRgb, QColorSpace::DisplayP3, QColorSpace::AdobeRgb };
    for (const QColorSpace::NamedColorSpace space : named) {
        QImage tagged = photo;
        tagged.setColorSpace(QColorSpace(space));
        QTest::addRow("named space %d", int(space)) << tagged << 80;
    }
    QImage fromBytes = photo;
    fromBytes.setColorSpace(
        QColorSpace::fromIccProfile(QColorSpace(QColorSpace::ProPhotoRgb).iccProfile()));
    QTest::newRow("profile from bytes") << fromBytes << 80;
    QImage custom = photo;
    custom.setColorSpace(
        QColorSpace(QColorSpace::Primaries::DciP3D65, QColorSpace::TransferFunction::Gamma, 2.0f));
    QTest::newRow("profile without a description") << custom << 80;

    QImage described = photo;
    described.setText(QStringLiteral("Title"), QStringLiteral("Harbour at dusk"));
    described.setText(QStringLiteral("Author"), QString::fromUtf8("J\xc3\xb6rg"));
    described.setText(QStringLiteral("Comment"),
        QStringLiteral("A value of forty characters or more is stored compressed."));
    described.setText(QStringLiteral("Price"), QString::fromUtf8("12 \xe2\x82\xac"));
    described.setText(QStringLiteral("Description"),
        QString::fromUtf8("Beyond Latin-1 and long enough to be compressed: \xe2\x82\xac"));
    described.setDotsPerMeterX(11811);
    described.setDotsPerMeterY(5000);
    QTest::newRow("text keys and resolution") << described << 80;
    QImage none = photo;
    none.setDotsPerMeterX(0);
    none.setDotsPerMeterY(0);
    QTest::newRow("no resolution") << none << 80;
}

// The toolkit's writer is the reference, byte for byte; rows handed over a
// block at a time give the same file.
void tst_PngWriter::toolkitsBytes()
{
    QFETCH(QImage, image);
    QFETCH(int, quality);
    QTemporaryDir dir;
    const QString theirs = dir.filePath("theirs.png");
    QImageWriter writer(theirs, "png");
    writer.setQuality(quality);
    QVERIFY(writer.write(image));
    const QByteArray expected = fileBytes(theirs);

    QVERIFY(PngWriter::takes(image));
    const QString ours = dir.filePath("ours.png");
    QString error;
    QVERIFY2(PngWriter::write(image, quality, ours, &error), qPrintable(error));
    QCOMPARE(fileBytes(ours).size(), expected.size());
    QVERIFY(fileBytes(ours) == expected);

    if (image.hasAlphaChannel())
        return; // writeRows takes opaque pictures
    int asked = 0;
    const RowSource next = [&](uchar *const *rows, int first, int count) {
        if (first != asked)
            return false; // from the top, block after block
        for (int i = 0; i < count; ++i)
            memcpy(rows[i], image.constScanLine(first + i), size_t(image.width()) * 4);
        asked += count;
        return true;
    };
    QImage metadata = image.copy(0, 0, 1, 1);
    for (const QString &key : image.textKeys())
        metadata.setText(key, image.text(key));
    const QString byRows = dir.filePath("rows.png");
    QVERIFY2(PngWriter::writeRows(image.size(), metadata, quality, next, byRows, &error),
        qPrintable(error));
    QCOMPARE(asked, image.height());
    QVERIFY(fileBytes(byRows) == expected);
}

void tst_PngWriter::failuresLeaveNothingAndSayWhy()
{
    const QImage image = picture(800, 600, QImage::Format_RGB32);
    QTemporaryDir dir;
    QString error;
    QVERIFY(!PngWriter::takes(picture(8, 8, QImage::Format_Grayscale8)));
    QVERIFY(!PngWriter::write(QImage(), 80, dir.filePath("none.png"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath("none.png")));

    error.clear();
    QVERIFY(!PngWriter::write(image, 80, dir.filePath("gone/out.png"), &error));
    QCOMPARE(error, QStringLiteral("the folder does not exist"));

    // A source that gives up halfway: nothing stays, and the source is blamed.
    int calls = 0;
    const RowSource failing = [&calls](uchar *const *rows, int, int count) {
        for (int i = 0; i < count; ++i)
            memset(rows[i], 0x80, 800 * 4);
        return ++calls < 3;
    };
    bool sourceFailed = false;
    const QString half = dir.filePath("half.png");
    QVERIFY(!PngWriter::writeRows(image.size(), image, 80, failing, half, &error, &sourceFailed));
    QVERIFY(sourceFailed);
    QCOMPARE(error, QStringLiteral("the picture could not be read"));
    QVERIFY(!QFile::exists(half));

    // Refused halfway through, as a full disk would: nothing stays.
    const QString path = dir.filePath("big.png");
    error.clear();
    const bool written = TestUtils::underFileSizeLimit(
        20000, [&] { return PngWriter::write(image, 100, path, &error); });
    QVERIFY(!written);
    QCOMPARE(error, QStringLiteral("the file is too large for the device"));
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(tst_PngWriter)
#include "tst_PngWriter.moc"

#include <QColorSpace>
#include <QtTest>

#include "PdfFixtures.h"
#include "pdf/JpegInfo.h"

namespace {

QImage sample(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 160));
    return image;
}

// Offset of the frame header (SOFn marker) in a JPEG written by Qt.
int frameMarkerOffset(const QByteArray &jpeg)
{
    for (int i = 2; i + 1 < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && uchar(jpeg[i + 1]) == 0xC0)
            return i;
    }
    return -1;
}

QByteArray exifSegment(const QByteArray &tiff)
{
    QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray seg;
    seg.append(char(0xFF)).append(char(0xE1));
    const int length = payload.size() + 2;
    seg.append(char(length >> 8)).append(char(length & 0xFF));
    return seg + payload;
}

QByteArray iccSegment(int sequence, int count, const QByteArray &chunk)
{
    QByteArray payload = QByteArray("ICC_PROFILE\0", 12);
    payload.append(char(sequence)).append(char(count)).append(chunk);
    QByteArray seg;
    seg.append(char(0xFF)).append(char(0xE2));
    const int length = payload.size() + 2;
    seg.append(char(length >> 8)).append(char(length & 0xFF));
    return seg + payload;
}

QByteArray afterStart(const QByteArray &jpeg, const QByteArray &segments)
{
    return jpeg.left(2) + segments + jpeg.mid(2);
}

} // namespace

class tst_JpegInfo : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void tst_JpegInfo::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("isJpeg");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<bool>("embeddable");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QByteArray>("icc");

    const QByteArray jpeg = PdfFixtures::jpegBytes(sample(33, 17));
    const int sof = frameMarkerOffset(jpeg);
    QVERIFY(sof > 0);
    const QByteArray none;

    QTest::newRow("baseline") << jpeg << true << true << true << 1 << none;
    QTest::newRow("not a JPEG") << QByteArray("\x89PNG\r\n\x1a\n0000") << false << false << false
                                << 1 << none;
    QTest::newRow("empty") << QByteArray() << false << false << false << 1 << none;
    QTest::newRow("only the start marker")
        << QByteArray("\xFF\xD8\xFF\xE0", 4) << true << false << false << 1 << none;
    QTest::newRow("truncated in the scan")
        << jpeg.left(jpeg.size() - 40) << true << false << false << 1 << none;
    QTest::newRow("truncated in the headers")
        << jpeg.left(sof + 5) << true << false << false << 1 << none;
    QTest::newRow("bytes after the end marker")
        << jpeg + QByteArray(64, '\0') << true << true << true << 1 << none;

    QByteArray arithmetic = jpeg;
    arithmetic[sof + 1] = char(0xC9);
    QTest::newRow("arithmetic coding") << arithmetic << true << true << false << 1 << none;
    QByteArray lossless = jpeg;
    lossless[sof + 1] = char(0xC3);
    QTest::newRow("lossless process") << lossless << true << true << false << 1 << none;
    QByteArray twelveBit = jpeg;
    twelveBit[sof + 4] = char(12);
    QTest::newRow("12-bit samples") << twelveBit << true << true << false << 1 << none;
    QByteArray badLength = jpeg;
    badLength[4] = char(0x7F); // APP0 length far beyond the file
    QTest::newRow("segment longer than the file")
        << badLength << true << false << false << 1 << none;

    const QByteArray big = QByteArray::fromHex("4d4d002a00000008"
                                               "0001"
                                               "011200030000000100060000"
                                               "00000000");
    const QByteArray little = QByteArray::fromHex("49492a0008000000"
                                                  "0100"
                                                  "120103000100000008000000"
                                                  "00000000");
    const QByteArray outOfRange = QByteArray::fromHex("4d4d002a00000008"
                                                      "0001"
                                                      "011200030000000100090000"
                                                      "00000000");
    const QByteArray badOffset = QByteArray::fromHex("4d4d002a0000ff00");
    QTest::newRow("EXIF big-endian 6")
        << afterStart(jpeg, exifSegment(big)) << true << true << true << 6 << none;
    QTest::newRow("EXIF little-endian 8")
        << afterStart(jpeg, exifSegment(little)) << true << true << true << 8 << none;
    QTest::newRow("EXIF orientation 9 ignored")
        << afterStart(jpeg, exifSegment(outOfRange)) << true << true << true << 1 << none;
    QTest::newRow("EXIF IFD offset past the end")
        << afterStart(jpeg, exifSegment(badOffset)) << true << true << true << 1 << none;

    const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    const QByteArray a = profile.left(100), b = profile.mid(100, 100), c = profile.mid(200);
    QTest::newRow("ICC in order") << afterStart(
        jpeg, iccSegment(1, 3, a) + iccSegment(2, 3, b) + iccSegment(3, 3, c))
                                  << true << true << true << 1 << profile;
    QTest::newRow("ICC chunks out of order")
        << afterStart(jpeg, iccSegment(3, 3, c) + iccSegment(1, 3, a) + iccSegment(2, 3, b)) << true
        << true << true << 1 << profile;
    QTest::newRow("ICC chunk missing")
        << afterStart(jpeg, iccSegment(1, 3, a) + iccSegment(3, 3, c)) << true << true << true << 1
        << none;
    QTest::newRow("ICC chunk twice")
        << afterStart(jpeg, iccSegment(1, 2, a) + iccSegment(1, 2, a) + iccSegment(2, 2, b)) << true
        << true << true << 1 << none;
}

void tst_JpegInfo::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, isJpeg);
    QFETCH(bool, complete);
    QFETCH(bool, embeddable);
    QFETCH(int, orientation);
    QFETCH(QByteArray, icc);

    const JpegInfo info = JpegInfo::parse(bytes);
    QCOMPARE(info.isJpeg, isJpeg);
    QCOMPARE(info.complete, complete);
    QCOMPARE(info.embeddable, embeddable);
    if (complete) {
        QCOMPARE(info.orientation, orientation);
        QCOMPARE(info.iccProfile, icc);
    }
    if (embeddable) {
        QCOMPARE(info.width, 33);
        QCOMPARE(info.height, 17);
        QCOMPARE(info.components, 3);
    }
}

QTEST_GUILESS_MAIN(tst_JpegInfo)
#include "tst_JpegInfo.moc"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "online/OnlineUploads.h"

class tst_OnlineUploads : public QObject
{
    Q_OBJECT
private slots:
    void pixelTarget_data();
    void pixelTarget();
    void boxTarget_data();
    void boxTarget();
    void reducedCopyLeavesNothingBehind();
    void copyThatCannotBeMadeSendsTheFile();
};

void tst_OnlineUploads::pixelTarget_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QSize>("target");
    QTest::newRow("small file goes as it is") << QSize(4000, 3000) << qint64(2097152) << QSize();
    QTest::newRow("3 MB of 1000 x 1000 is enlarged")
        << QSize(1000, 1000) << qint64(3000000) << QSize(1440, 1440);
    QTest::newRow("large photo is reduced")
        << QSize(4000, 3000) << qint64(5000000) << QSize(1662, 1247);
    QTest::newRow("empty picture") << QSize(0, 0) << qint64(5000000) << QSize();
}

void tst_OnlineUploads::pixelTarget()
{
    QFETCH(QSize, size);
    QFETCH(qint64, bytes);
    QFETCH(QSize, target);
    QCOMPARE(OnlineUploads::pixelTarget(
                 size, bytes, OnlineUploads::kTextLimitBytes, OnlineUploads::kTextTargetPixels),
        target);
}

void tst_OnlineUploads::boxTarget_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("target");
    QTest::newRow("900 x 600") << QSize(900, 600) << QSize(800, 533);
    QTest::newRow("600 x 900") << QSize(600, 900) << QSize(533, 800);
    QTest::newRow("exactly 800 x 800") << QSize(800, 800) << QSize();
    QTest::newRow("1600 x 1600") << QSize(1600, 1600) << QSize(800, 800);
    QTest::newRow("a sliver") << QSize(10000, 5) << QSize(800, 1);
}

void tst_OnlineUploads::boxTarget()
{
    QFETCH(QSize, size);
    QFETCH(QSize, target);
    QCOMPARE(OnlineUploads::boxTarget(size, 800, 800), target);
}

void tst_OnlineUploads::reducedCopyLeavesNothingBehind()
{
    QImage image(900, 600, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString base = QStringLiteral("qv-reduced-copy-test");
    const QStringList pattern { base + QStringLiteral("*") };
    const UploadFile file = OnlineUploads::reducedCopy(image, QSize(800, 533), base);
    QVERIFY(file.name.startsWith(base));
    QVERIFY(file.name.endsWith(QStringLiteral(".jpg")));
    QCOMPARE(file.suffix, QStringLiteral("jpg"));
    QCOMPARE(file.size, qint64(file.data.size()));
    QCOMPARE(QImage::fromData(file.data, "JPEG").size(), QSize(800, 533));
    QVERIFY(QDir::temp().entryList(pattern, QDir::Files).isEmpty());
}

void tst_OnlineUploads::copyThatCannotBeMadeSendsTheFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.png"));
    QImage image(100, 50, QImage::Format_RGB32);
    image.fill(Qt::white);
    QVERIFY(image.save(path));
    // A null picture (the file did not decode) cannot be reduced: the file goes.
    const UploadFile file = OnlineUploads::prepareUpload(path, QImage(), QSize(50, 25));
    QCOMPARE(file.name, QStringLiteral("page.png"));
    QCOMPARE(file.suffix, QStringLiteral("png"));
    // An unreadable file gives nothing to send.
    QVERIFY(
        OnlineUploads::prepareUpload(dir.filePath(QStringLiteral("gone.png")), image, QSize(50, 25))
            .name.isEmpty());
}

QTEST_GUILESS_MAIN(tst_OnlineUploads)
#include "tst_OnlineUploads.moc"

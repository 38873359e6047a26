#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "codec/FrameMemory.h"

class tst_FrameMemory : public QObject
{
    Q_OBJECT
private slots:
    void readAllIsQFilesReadAll_data();
    void readAllIsQFilesReadAll();
    void allocate();
};

void tst_FrameMemory::readAllIsQFilesReadAll_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("from");
    const int block = 2 << 20;
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("small") << 1000 << 0;
    QTest::newRow("just below two blocks") << 2 * block - 1 << 0;
    QTest::newRow("two blocks") << 2 * block << 0;
    QTest::newRow("photo-sized, odd") << 4 * block + 12345 << 0;
    QTest::newRow("photo-sized, from the middle") << 4 * block + 12345 << block + 7;
    QTest::newRow("read to the end already") << 3 * block << 3 * block;
}

// Large files go through their own buffer; the bytes must be readAll()'s,
// from wherever the file stands.
void tst_FrameMemory::readAllIsQFilesReadAll()
{
    QFETCH(int, size);
    QFETCH(int, from);
    QByteArray content(size, Qt::Uninitialized);
    QRandomGenerator random(size);
    for (char &c : content)
        c = char(random.bounded(256));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bytes"));
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(content), qint64(size));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.seek(from));
    const QByteArray bytes = FrameMemory::readAll(&file);
    QCOMPARE(file.error(), QFileDevice::NoError);
    QCOMPARE(bytes.size(), size - from);
    QVERIFY(bytes == content.mid(from));
    QVERIFY(file.atEnd());
}

void tst_FrameMemory::allocate()
{
    const QImage frame = FrameMemory::allocate(QSize(3000, 2000), QImage::Format_ARGB32);
    QCOMPARE(frame.size(), QSize(3000, 2000));
    QCOMPARE(frame.format(), QImage::Format_ARGB32);
    QImage copy = frame;
    copy.fill(Qt::red); // the memory works like any other image's
    QCOMPARE(copy.pixel(2999, 1999), QColor(Qt::red).rgb());
    QVERIFY(FrameMemory::allocate(QSize(1, 1), QImage::Format_RGB32).size() == QSize(1, 1));
    QVERIFY(FrameMemory::allocate(QSize(-1, 5), QImage::Format_RGB32).isNull());
}

QTEST_MAIN(tst_FrameMemory)
#include "tst_FrameMemory.moc"

#include <QImageReader>
#include <QtTest>

#include "TaskRecords.h"
#include "TestUtils.h"
#include "batch/BatchOutput.h"
#include "codec/OutputFormat.h"

// The batch tools' shared first-frame and write steps, driven directly: what
// reaches the run folder (names, pixels, never an overwrite, nothing partial)
// and the reasons given when it cannot.
class tst_BatchOutput : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void firstFrame_data();
    void firstFrame();
    void writesEveryFormat_data();
    void writesEveryFormat();
    void neverOverwrites_data();
    void neverOverwrites();
    void failuresLeaveNothing_data();
    void failuresLeaveNothing();

private:
    QTemporaryDir m_in;
    QString m_jpeg;
};

void tst_BatchOutput::initTestCase()
{
    QVERIFY(m_in.isValid());
    m_jpeg = m_in.filePath("photo.jpg");
    QVERIFY(TestUtils::photoLikeImage(160, 120).save(m_jpeg, "JPG", 90));
}

void tst_BatchOutput::firstFrame_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: the good JPEG
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason"); // empty: decodes
    QTest::newRow("good JPEG") << QByteArray() << "photo.jpg" << QString();
    QTest::newRow("words named .jpg") << QByteArray("plain words, no picture") << "corrupt.jpg"
                                      << "not an image";
    QTest::newRow("PNG named .jpg") << QByteArray() << "png-inside.jpg" << QString();
    QTest::newRow("empty file") << QByteArray("") << "empty.png"
                                << "empty";
    QTest::newRow("missing file") << QByteArray() << "missing.png"
                                  << "no such file";
}

void tst_BatchOutput::firstFrame()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString path = dir.filePath(name);
    if (name == "photo.jpg")
        path = m_jpeg;
    else if (name == "png-inside.jpg")
        QVERIFY(TestUtils::quadrantImage(40, 20).save(path, "PNG"));
    else if (name != "missing.png")
        QVERIFY(!TestUtils::writeFile(dir.path(), name, bytes).isEmpty());
    QString error;
    const QImage frame = BatchOutput::firstFrame(path, &error);
    if (reason.isEmpty()) {
        QVERIFY2(!frame.isNull(), qPrintable(error));
        QVERIFY(frame.width() == 160 || frame.width() == 40);
    } else {
        QVERIFY(frame.isNull());
        QVERIFY2(error.contains(reason, Qt::CaseInsensitive), qPrintable(error));
    }
}

void tst_BatchOutput::writesEveryFormat_data() { addOutputFormatRows(); }

void tst_BatchOutput::writesEveryFormat()
{
    QFETCH(OutputFormat, format);
    QFETCH(QByteArray, readerFormat);
    QFETCH(bool, keepsAlpha);
    QTemporaryDir out;
    // Left half opaque red, right half fully transparent.
    const QImage source = TestUtils::halfTransparentImage(64, 32);
    QString error;
    const QString written
        = BatchOutput::write(source, out.path(), "/in/holiday.v2.png", format, &error);
    QVERIFY2(!written.isEmpty(), qPrintable(error));
    // Inner dots of the name survive; the extension is the format's.
    QCOMPARE(written, out.filePath("holiday.v2." + outputExtension(format)));
    // Only the output: no temporary or reserved sibling is left.
    QCOMPARE(TestUtils::allFiles(out.path()), QStringList { QFileInfo(written).fileName() });

    QImageReader reader(written);
    QCOMPARE(reader.format(), readerFormat);
    const QImage decoded = reader.read();
    QCOMPARE(decoded.size(), source.size());
    const QString mismatch = TestUtils::halfTransparentMismatch(decoded, keepsAlpha);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void tst_BatchOutput::neverOverwrites_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("expected"); // names of three writes in a row
    QTest::newRow("free folder") << QStringList() << "/in/a.jpg"
                                 << QStringList { "a.png", "a(1).png", "a(2).png" };
    QTest::newRow("an older output is kept") << QStringList { "a.png" } << "/in/a.jpg"
                                             << QStringList { "a(1).png", "a(2).png", "a(3).png" };
    QTest::newRow("a gap is filled, the rest kept") << QStringList { "a.png",
        "a(2).png" } << "/in/a.jpg" << QStringList { "a(1).png", "a(3).png", "a(4).png" };
    QTest::newRow("a folder of the output's name")
        << QStringList { "a.png/" } << "/in/a.jpg"
        << QStringList { "a(1).png", "a(2).png", "a(3).png" };
    QTest::newRow("inner dots") << QStringList { "v1.2.png" } << "/in/v1.2.tif"
                                << QStringList { "v1.2(1).png", "v1.2(2).png", "v1.2(3).png" };
}

void tst_BatchOutput::neverOverwrites()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, source);
    QFETCH(QStringList, expected);
    QTemporaryDir out;
    for (const QString &name : existing) {
        if (name.endsWith('/'))
            QVERIFY(QDir(out.path()).mkdir(name.chopped(1)));
        else
            QVERIFY(!TestUtils::writeFile(out.path(), name, "keep me " + name.toUtf8()).isEmpty());
    }
    const QImage image = TestUtils::quadrantImage(24, 16);
    QStringList names;
    for (int i = 0; i < expected.size(); ++i) {
        QString error;
        const QString written
            = BatchOutput::write(image, out.path(), source, OutputFormat::Png, &error);
        QVERIFY2(!written.isEmpty(), qPrintable(error));
        names << QFileInfo(written).fileName();
        QCOMPARE(QImage(written).size(), image.size());
    }
    QCOMPARE(names, expected);
    for (const QString &name : existing) {
        if (!name.endsWith('/'))
            QCOMPARE(TestUtils::readFile(out.filePath(name)), "keep me " + name.toUtf8());
    }

    // Bytes written as they are (a losslessly turned JPEG) follow the same
    // rule: a fourth name, the bytes exactly as given.
    const QByteArray bytes = TestUtils::readFile(m_jpeg);
    const QString copy = BatchOutput::writeBytes(bytes, out.path(), source, "png");
    QVERIFY(!copy.isEmpty());
    QVERIFY(!names.contains(QFileInfo(copy).fileName()));
    QVERIFY(!existing.contains(QFileInfo(copy).fileName()));
    QCOMPARE(TestUtils::readFile(copy), bytes);
    QCOMPARE(TestUtils::allFiles(out.path()).size(),
        expected.size() + 1 + existing.size() - int(existing.contains("a.png/")));
}

void tst_BatchOutput::failuresLeaveNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only run folder") << "read-only"
                                          << "read-only";
    QTest::newRow("run folder removed meanwhile") << "gone"
                                                  << "";
    QTest::newRow("no pixels") << "null image"
                               << "not enough memory";
    QTest::newRow("no bytes") << "empty bytes"
                              << "nothing to write";
}

void tst_BatchOutput::failuresLeaveNothing()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir parent;
    const QString runFolder = parent.filePath("run");
    QVERIFY(QDir().mkpath(runFolder));
    std::unique_ptr<TestUtils::ReadOnlyFolder> readOnly;
    if (kind == "read-only") {
        readOnly.reset(new TestUtils::ReadOnlyFolder(runFolder));
        if (!readOnly->isReadOnly())
            QSKIP("the folder could not be made read-only here");
        reason = readOnly->refusal();
    } else if (kind == "gone") {
        QVERIFY(QDir(runFolder).removeRecursively());
    }
    QString error;
    QString written;
    if (kind == "empty bytes")
        written = BatchOutput::writeBytes(QByteArray(), runFolder, "/in/a.jpg", "jpg", &error);
    else
        written
            = BatchOutput::write(kind == "null image" ? QImage() : TestUtils::quadrantImage(8, 8),
                runFolder, "/in/a.jpg", OutputFormat::Png, &error);
    QVERIFY(written.isEmpty());
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(reason, Qt::CaseInsensitive), qPrintable(error));
    readOnly.reset();
    if (QFileInfo(runFolder).isDir())
        QCOMPARE(TestUtils::allFiles(runFolder), QStringList());
}

QTEST_GUILESS_MAIN(tst_BatchOutput)
#include "tst_BatchOutput.moc"

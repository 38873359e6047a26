#include <poppler-qt5.h>

#include <QTemporaryDir>
#include <QtTest>

#include "PdfFixtures.h"
#include "TestUtils.h"
#include "pdf/PdfImageDocument.h"

namespace {

QStringList everything(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

// The document is written in one go at the end; what happens when that last
// step cannot finish.
class tst_PdfImageDocument : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void placeholderReplaced();
    void sourceChangedBeforeWriting_data();
    void sourceChangedBeforeWriting();
    void refusedWrites_data();
    void refusedWrites();

private:
    QTemporaryDir m_inputs;
    QByteArray m_jpeg;
};

void tst_PdfImageDocument::initTestCase()
{
    QImage image(120, 90, QImage::Format_RGB32);
    image.fill(QColor(10, 120, 60));
    m_jpeg = PdfFixtures::jpegBytes(image);
    QVERIFY(!m_jpeg.isEmpty());
}

void tst_PdfImageDocument::placeholderReplaced()
{
    QTemporaryDir in, out;
    const QString jpeg = TestUtils::writeFile(in.path(), "a.jpg", m_jpeg);
    const QString target = TestUtils::writeFile(out.path(), "a.pdf", QByteArray());
    PdfImageDocument document;
    QVERIFY(document.addImagePage(jpeg));
    QCOMPARE(document.pageCount(), 1);
    QString error;
    QVERIFY2(document.write(target, QString(), &error), qPrintable(error));
    QCOMPARE(everything(out.path()), QStringList { "a.pdf" });
    const auto pdf = PdfFixtures::openPdf(target);
    QVERIFY(pdf);
    QCOMPARE(pdf->numPages(), 1);
}

void tst_PdfImageDocument::sourceChangedBeforeWriting_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("JPEG deleted") << "delete";
    QTest::newRow("JPEG replaced by another of the same size") << "replace";
    QTest::newRow("JPEG cut short") << "truncate";
}

// The JPEG bytes are read again while writing; if the file is no longer the
// one that was checked, the document fails and nothing is left behind.
void tst_PdfImageDocument::sourceChangedBeforeWriting()
{
    QFETCH(QString, change);
    QTemporaryDir in, out;
    const QString jpeg = TestUtils::writeFile(in.path(), "a.jpg", m_jpeg);
    const QString target = TestUtils::writeFile(out.path(), "a.pdf", QByteArray());
    PdfImageDocument document;
    QVERIFY(document.addImagePage(jpeg));

    if (change == "delete") {
        QVERIFY(QFile::remove(jpeg));
    } else if (change == "replace") {
        QByteArray other = m_jpeg;
        other[other.size() / 2] = char(other[other.size() / 2] ^ 0x55);
        TestUtils::writeFile(in.path(), "a.jpg", other);
    } else {
        TestUtils::writeFile(in.path(), "a.jpg", m_jpeg.left(m_jpeg.size() / 2));
    }
    QString error;
    QVERIFY(!document.write(target, QString(), &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(everything(out.path()), QStringList { "a.pdf" });
    QCOMPARE(readAll(target), QByteArray()); // the placeholder as it was
}

void tst_PdfImageDocument::refusedWrites_data()
{
    QTest::addColumn<bool>("withPage");
    QTest::addColumn<QString>("targetName");
    QTest::addColumn<QString>("password");
    QTest::newRow("no pages") << false << "a.pdf" << QString();
    QTest::newRow("folder missing") << true << "missing/a.pdf" << QString();
    QTest::newRow("password with a NUL") << true << "a.pdf" << QString::fromLatin1("ab\0cd", 5);
}

void tst_PdfImageDocument::refusedWrites()
{
    QFETCH(bool, withPage);
    QFETCH(QString, targetName);
    QFETCH(QString, password);
    QTemporaryDir in, out;
    PdfImageDocument document;
    if (withPage)
        QVERIFY(document.addImagePage(TestUtils::writeFile(in.path(), "a.jpg", m_jpeg)));
    QString error;
    QVERIFY(!document.write(QDir(out.path()).filePath(targetName), password, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(everything(out.path()).isEmpty());
}

QTEST_GUILESS_MAIN(tst_PdfImageDocument)
#include "tst_PdfImageDocument.moc"

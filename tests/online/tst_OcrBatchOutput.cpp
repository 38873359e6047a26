#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "online/OcrBatchOutput.h"

class tst_OcrBatchOutput : public QObject
{
    Q_OBJECT
private slots:
    void eachSourceGetsItsOwnFile();
    void combinedTextGrowsInOrder();
    void unwritableFolderIsReported();
};

namespace {
QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

void tst_OcrBatchOutput::eachSourceGetsItsOwnFile()
{
    QTemporaryDir dir;
    OcrBatchOutput output;
    output.begin(dir.path(), QStringLiteral("docx"), false, QStringLiteral("scan.png"));
    QString error;
    const QString first = output.write(QStringLiteral("/in/scan.png"), "one", &error);
    QCOMPARE(first, dir.filePath(QStringLiteral("scan.png.docx")));
    // Two sources of the same name never share an output.
    const QString second = output.write(QStringLiteral("/other/scan.png"), "two", &error);
    QCOMPARE(second, dir.filePath(QStringLiteral("scan.png(1).docx")));
    QCOMPARE(contents(first), QByteArray("one"));
    QCOMPARE(contents(second), QByteArray("two"));
}

void tst_OcrBatchOutput::combinedTextGrowsInOrder()
{
    QTemporaryDir dir;
    // A file of the combined name is already there: it is kept.
    TestUtils::writeFile(dir.path(), QStringLiteral("a.png.txt"), "older");
    OcrBatchOutput output;
    output.begin(dir.path(), QStringLiteral("txt"), true, QStringLiteral("a.png"));
    QString error;
    const QString path = output.write(QStringLiteral("/in/a.png"), "first ", &error);
    QCOMPARE(path, dir.filePath(QStringLiteral("a.png(1).txt")));
    QCOMPARE(output.write(QStringLiteral("/in/b.png"), "second ", &error), path);
    QCOMPARE(output.write(QStringLiteral("/in/c.png"), "third", &error), path);
    QCOMPARE(contents(path), QByteArray("first second third"));
    QCOMPARE(contents(dir.filePath(QStringLiteral("a.png.txt"))), QByteArray("older"));
    // A new batch starts afresh.
    output.begin(dir.path(), QStringLiteral("txt"), true, QStringLiteral("a.png"));
    const QString next = output.write(QStringLiteral("/in/a.png"), "again", &error);
    QCOMPARE(next, dir.filePath(QStringLiteral("a.png(2).txt")));
    QCOMPARE(contents(next), QByteArray("again"));
    QCOMPARE(TestUtils::fileNames(dir.path()).size(), 3);
}

void tst_OcrBatchOutput::unwritableFolderIsReported()
{
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("removed"));
    OcrBatchOutput output;
    output.begin(gone, QStringLiteral("txt"), false, QStringLiteral("a.png"));
    QString error;
    QVERIFY(output.write(QStringLiteral("/in/a.png"), "text", &error).isEmpty());
    QVERIFY(!error.isEmpty());
    output.begin(gone, QStringLiteral("txt"), true, QStringLiteral("a.png"));
    error.clear();
    QVERIFY(output.write(QStringLiteral("/in/a.png"), "text", &error).isEmpty());
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFileInfo::exists(gone));
}

QTEST_GUILESS_MAIN(tst_OcrBatchOutput)
#include "tst_OcrBatchOutput.moc"

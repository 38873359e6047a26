#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

#include "TestUtils.h"
#include "app/FileUtils.h"

class tst_FileUtils : public QObject
{
    Q_OBJECT
private slots:
    void uniqueFilePath_data();
    void uniqueFilePath();
    void reserveFollowsTheSameRules_data();
    void reserveFollowsTheSameRules();
    void concurrentReservationsNeverCollide();
    void reserveFailsInUnwritableFolder();
    void concurrentWritersAllLand();
    void uniqueDirPath_data();
    void uniqueDirPath();
    void uniqueDirPathCreatesMissingParents();
    void writeFileAtomicallyReplacesPlaceholder();
};

void tst_FileUtils::uniqueFilePath_data()
{
    QTest::addColumn<QStringList>("existingFiles");
    QTest::addColumn<QStringList>("existingDirs");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("reserved"); // a folder cannot be replaced by a file

    QTest::newRow("free name") << QStringList() << QStringList() << "photo"
                               << "jpg"
                               << "photo.jpg"
                               << "photo.jpg";
    QTest::newRow("two taken") << QStringList { "photo.jpg", "photo(1).jpg" } << QStringList()
                               << "photo"
                               << "jpg"
                               << "photo(2).jpg"
                               << "photo(2).jpg";
    QTest::newRow("gap is reused")
        << QStringList { "photo.jpg", "photo(2).jpg" } << QStringList() << "photo"
        << "jpg"
        << "photo(1).jpg"
        << "photo(1).jpg";
    QTest::newRow("name without dot used whole") << QStringList() << QStringList() << "archive"
                                                 << "png"
                                                 << "archive.png"
                                                 << "archive.png";
    QTest::newRow("x.y gives stem x") << QStringList() << QStringList() << "x.y"
                                      << "png"
                                      << "x.png"
                                      << "x.png";
    QTest::newRow("a.b (from a.b.heic) gives a") << QStringList() << QStringList() << "a.b"
                                                 << "jpg"
                                                 << "a.jpg"
                                                 << "a.jpg";
    QTest::newRow("folder of that name does not count")
        << QStringList() << QStringList { "photo.jpg" } << "photo"
        << "jpg"
        << "photo.jpg"
        << "photo(1).jpg";
    QTest::newRow("case-sensitive") << QStringList { "Photo.jpg" } << QStringList() << "photo"
                                    << "jpg"
                                    << "photo.jpg"
                                    << "photo.jpg";
    QTest::newRow("other extension does not count")
        << QStringList { "photo.png" } << QStringList() << "photo"
        << "jpg"
        << "photo.jpg"
        << "photo.jpg";
}

static void makeEntries(const QString &dir, const QStringList &files, const QStringList &dirs)
{
    for (const QString &f : files)
        QVERIFY(!TestUtils::writeFile(dir, f, "x").isEmpty());
    for (const QString &d : dirs)
        QVERIFY(QDir(dir).mkdir(d));
}

void tst_FileUtils::uniqueFilePath()
{
    QFETCH(QStringList, existingFiles);
    QFETCH(QStringList, existingDirs);
    QFETCH(QString, name);
    QFETCH(QString, ext);
    QFETCH(QString, expected);
    QTemporaryDir tmp;
    makeEntries(tmp.path(), existingFiles, existingDirs);
    QCOMPARE(::uniqueFilePath(tmp.path(), name, ext), tmp.path() + "/" + expected);
    // Nothing is created by the plain variant.
    QCOMPARE(TestUtils::fileNames(tmp.path()).size(), existingFiles.size());
}

void tst_FileUtils::reserveFollowsTheSameRules_data() { uniqueFilePath_data(); }

void tst_FileUtils::reserveFollowsTheSameRules()
{
    QFETCH(QStringList, existingFiles);
    QFETCH(QStringList, existingDirs);
    QFETCH(QString, name);
    QFETCH(QString, ext);
    QFETCH(QString, reserved);
    QTemporaryDir tmp;
    makeEntries(tmp.path(), existingFiles, existingDirs);
    const QString path = reserveUniqueFilePath(tmp.path(), name, ext);
    QCOMPARE(path, tmp.path() + "/" + reserved);
    // Nothing is created under the final name: a writer killed before it
    // finishes leaves no empty file there.
    QVERIFY(!QFileInfo::exists(path));
    // The name stays taken for this process until it is given back.
    QVERIFY(reserveUniqueFilePath(tmp.path(), name, ext) != path);
    releaseReservedPath(path);
    QCOMPARE(reserveUniqueFilePath(tmp.path(), name, ext), path);
    // Existing files keep their content.
    for (const QString &f : existingFiles) {
        QFile file(tmp.path() + "/" + f);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("x"));
    }
}

void tst_FileUtils::concurrentReservationsNeverCollide()
{
    QTemporaryDir tmp;
    QVERIFY(!TestUtils::writeFile(tmp.path(), "photo.jpg", "precious").isEmpty());
    const QString dir = tmp.path();
    auto reserveMany = [dir]() {
        QStringList paths;
        for (int i = 0; i < 200; ++i) {
            const QString path
                = reserveUniqueFilePath(dir, QStringLiteral("photo"), QStringLiteral("jpg"));
            QFile file(path);
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(QFile::encodeName(path));
            paths << path;
        }
        return paths;
    };
    QFuture<QStringList> a = QtConcurrent::run(reserveMany);
    QFuture<QStringList> b = QtConcurrent::run(reserveMany);
    const QStringList all = a.result() + b.result();
    QCOMPARE(all.size(), 400);
    const QSet<QString> distinct(all.begin(), all.end());
    QCOMPARE(distinct.size(), 400);
    QVERIFY(!distinct.contains(dir + "/photo.jpg"));
    // Every file still holds what its own writer wrote: nothing was overwritten.
    for (const QString &path : all) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QFile::encodeName(path));
    }
    QFile original(dir + "/photo.jpg");
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), QByteArray("precious"));
}

// Reserve, write and link from several threads at once: a name given back
// only after its file is in place is never handed to a second writer, so
// every write lands.
void tst_FileUtils::concurrentWritersAllLand()
{
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    auto writeMany = [dir]() {
        int failures = 0;
        for (int i = 0; i < 150; ++i) {
            const QString path
                = reserveUniqueFilePath(dir, QStringLiteral("shot"), QStringLiteral("png"));
            QString error;
            if (path.isEmpty() || !writeFileAtomically(path, QFile::encodeName(path), &error))
                ++failures;
        }
        return failures;
    };
    QList<QFuture<int>> futures;
    for (int t = 0; t < 4; ++t)
        futures << QtConcurrent::run(writeMany);
    for (QFuture<int> &future : futures)
        QCOMPARE(future.result(), 0);
    const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(names.size(), 600);
    for (const QString &name : names) {
        QFile file(QDir(dir).filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QFile::encodeName(file.fileName()));
    }
}

void tst_FileUtils::reserveFailsInUnwritableFolder()
{
    QTemporaryDir tmp;
    // A path below a regular file can never be created.
    QVERIFY(!TestUtils::writeFile(tmp.path(), "blocker", "x").isEmpty());
    QCOMPARE(reserveUniqueFilePath(tmp.path() + "/blocker", "photo", "jpg"), QString());
}

void tst_FileUtils::uniqueDirPath_data()
{
    QTest::addColumn<QStringList>("existingDirs");
    QTest::addColumn<QStringList>("existingFiles");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("created");

    QTest::newRow("free") << QStringList() << QStringList() << "format convert" << true;
    QTest::newRow("name and name(1) taken") << QStringList { "format convert", "format convert(1)" }
                                            << QStringList() << "format convert(2)" << true;
    // A plain file named like the run folder must not make every row fail.
    QTest::newRow("regular file moves the counter")
        << QStringList() << QStringList { "format convert" } << "format convert(1)" << true;
    QTest::newRow("file and folder both taken")
        << QStringList { "format convert(1)" } << QStringList { "format convert" }
        << "format convert(2)" << true;
}

void tst_FileUtils::uniqueDirPath()
{
    QFETCH(QStringList, existingDirs);
    QFETCH(QStringList, existingFiles);
    QFETCH(QString, expected);
    QFETCH(bool, created);
    QTemporaryDir tmp;
    makeEntries(tmp.path(), existingFiles, existingDirs);
    const QString result = ::uniqueDirPath(tmp.path(), "format convert");
    QCOMPARE(result, tmp.path() + "/" + expected);
    QCOMPARE(QFileInfo(result).isDir(), created);
}

void tst_FileUtils::uniqueDirPathCreatesMissingParents()
{
    QTemporaryDir tmp;
    const QString desktop = tmp.path() + "/home/user/Desktop";
    const QString first = ::uniqueDirPath(desktop, "quorvel");
    QCOMPARE(first, desktop + "/quorvel");
    QVERIFY(QFileInfo(first).isDir());
    QCOMPARE(::uniqueDirPath(desktop, "quorvel"), desktop + "/quorvel(1)");
}

void tst_FileUtils::writeFileAtomicallyReplacesPlaceholder()
{
    QTemporaryDir tmp;
    const QString reserved = reserveUniqueFilePath(tmp.path(), "doc", "pdf");
    QVERIFY(writeFileAtomically(reserved, "%PDF-1.7 body"));
    QFile file(reserved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("%PDF-1.7 body"));
    // No temporary sibling is left behind.
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "doc.pdf" });
    // A write into a folder that does not exist fails and leaves nothing.
    QVERIFY(!writeFileAtomically(tmp.path() + "/missing/doc.pdf", "x"));
}

QTEST_GUILESS_MAIN(tst_FileUtils)
#include "tst_FileUtils.moc"

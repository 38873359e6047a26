#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "codec/FileNameCodec.h"
#include "codec/InputCheck.h"
#include "codec/KImageWrapper.h"

class tst_InputCheck : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void specialFilesFailAtOnce_data();
    void specialFilesFailAtOnce();
    void namesThatAreNotUtf8RoundTrip();
    void codecKeepsValidTextAndChunks();

private:
    QTemporaryDir m_dir;
};

void tst_InputCheck::initTestCase()
{
    FileNameCodec::install();
    QVERIFY(m_dir.isValid());
}

void tst_InputCheck::specialFilesFailAtOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO") << "fifo"
                          << "not a regular file (a FIFO)";
    QTest::newRow("link to a FIFO") << "fifo-link"
                                    << "not a regular file (a FIFO)";
    QTest::newRow("link to /dev/zero named .jpg") << "zero-link"
                                                  << "not a regular file (a device)";
    QTest::newRow("folder named .png") << "folder"
                                       << "not a regular file (a folder)";
    QTest::newRow("dangling link") << "dangling"
                                   << "no such file";
    QTest::newRow("regular file") << "file"
                                  << "";
}

// A FIFO blocks whoever opens it for reading until a writer comes, and
// /dev/zero never ends: both must fail before any decoder reads them.
void tst_InputCheck::specialFilesFailAtOnce()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.jpg"));
    if (!QFileInfo::exists(fifo))
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString path = m_dir.filePath(kind + QStringLiteral(".jpg"));
    QFile::remove(path);
    if (kind == QLatin1String("fifo"))
        path = fifo;
    else if (kind == QLatin1String("fifo-link"))
        QVERIFY(QFile::link(fifo, path));
    else if (kind == QLatin1String("zero-link"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path = m_dir.filePath(QStringLiteral("folder.png"))));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("gone.jpg")), path));
    else
        QVERIFY(TestUtils::quadrantImage(8, 8).save(path, "jpg"));

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(InputCheck::regularFileProblem(path), reason);
    KImageWrapper wrapper;
    QCOMPARE(wrapper.load(path), reason.isEmpty());
    if (!reason.isEmpty())
        QCOMPARE(wrapper.errorString(), reason);
    QVERIFY(timer.elapsed() < 5000);
}

void tst_InputCheck::namesThatAreNotUtf8RoundTrip()
{
    // Latin-1 "café", and a lone continuation byte: not UTF-8.
    const QByteArray dir = QFile::encodeName(m_dir.path());
    const QByteArray rawName = QByteArray("caf\xe9-\x80.png");
    QImage image = TestUtils::quadrantImage(8, 6);
    QVERIFY(image.save(m_dir.filePath(QStringLiteral("tmp.png"))));
    QCOMPARE(::rename(QFile::encodeName(m_dir.filePath(QStringLiteral("tmp.png"))).constData(),
                 QByteArray(dir + '/' + rawName).constData()),
        0);

    // Listed, opened again by the listed name, and written back to the same bytes.
    // (Regular expressions refuse strings with lone surrogates; a plain
    // prefix test does not.)
    QStringList listed;
    for (const QString &name : QDir(m_dir.path()).entryList())
        if (name.startsWith(QLatin1String("caf")))
            listed.append(name);
    QCOMPARE(listed.size(), 1);
    QCOMPARE(QFile::encodeName(listed.first()), rawName);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(m_dir.filePath(listed.first())));
    QCOMPARE(wrapper.frameAt(0).size(), QSize(8, 6));
    QCOMPARE(FileNameCodec::forDisplay(listed.first()),
        QStringLiteral("caf") + QChar(QChar::ReplacementCharacter) + QStringLiteral("-")
            + QChar(QChar::ReplacementCharacter) + QStringLiteral(".png"));
}

void tst_InputCheck::codecKeepsValidTextAndChunks()
{
    const QByteArray text = QByteArray("d\xc3\xb6k \xe6\x96\x87 \xf0\x9f\x98\x80 \xff end");
    const QString decoded = QString::fromLocal8Bit(text);
    QVERIFY(decoded.startsWith(QString::fromUtf8("d\xc3\xb6k \xe6\x96\x87 \xf0\x9f\x98\x80 ")));
    QCOMPARE(decoded.toLocal8Bit(), text);
    // What the toolkit asks before it lists a name: nothing invalid, nothing left over.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    QTextCodec::codecForLocale()->toUnicode(text.constData(), text.size(), &state);
    QCOMPARE(state.invalidChars, 0);
    QCOMPARE(state.remainingChars, 0);
}

QTEST_MAIN(tst_InputCheck)
#include "tst_InputCheck.moc"

// The desktop integration files as a desktop reads them: the entry's MIME
// types against the formats the program really opens, its actions run the way
// a launcher runs them (quoting and field codes expanded by the rules of the
// desktop entry format), the validators, and one version everywhere.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "TestUtils.h"
#include "codec/ImageFormatRecord.h"
#include "codec/ImageFormats.h"

namespace {

using Group = QMap<QString, QString>;

// Groups of a desktop entry, values with the string escapes (\s \n \t \r \\) undone.
QMap<QString, Group> readDesktopEntry(const QString &path)
{
    QMap<QString, Group> groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return groups;
    QString current;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = line.mid(1, line.size() - 2);
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        QString value;
        const QString raw = line.mid(eq + 1);
        for (int i = 0; i < raw.size(); ++i) {
            if (raw[i] != QLatin1Char('\\') || i + 1 == raw.size()) {
                value += raw[i];
                continue;
            }
            const QChar next = raw[++i];
            value += next == QLatin1Char('s') ? QChar(' ')
                : next == QLatin1Char('n')    ? QChar('\n')
                : next == QLatin1Char('t')    ? QChar('\t')
                : next == QLatin1Char('r')    ? QChar('\r')
                                              : next;
        }
        groups[current].insert(line.left(eq).trimmed(), value);
    }
    return groups;
}

// The argument vector a launcher makes of an Exec value for the given files:
// words split at spaces, double-quoted words with \" \` \$ \\ escapes, %F
// replaced by the files, %% by a percent sign.
QStringList execArguments(const QString &exec, const QStringList &files)
{
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('"'))
                quoted = false;
            else if (c == QLatin1Char('\\') && i + 1 < exec.size())
                word += exec[++i];
            else
                word += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inWord = true;
        } else if (c == QLatin1Char(' ')) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    QStringList arguments;
    for (const QString &w : qAsConst(words)) {
        if (w == QLatin1String("%F"))
            arguments << files;
        else
            arguments << QString(w).replace(QLatin1String("%%"), QLatin1String("%"));
    }
    return arguments;
}

QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr,
    const QString &workingDir = QString())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        process.kill();
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

// A photo-like picture: noise does not compress, so it is far above 200 KB as JPEG.
QImage noisyImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = random.generate() | 0xFF000000u;
    }
    return image;
}

} // namespace

class tst_DesktopEntry : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void mainEntry();
    void mimeTypesCoverEveryOpenedFormat_data();
    void mimeTypesCoverEveryOpenedFormat();
    void actionsWriteBesideTheFirstFile_data();
    void actionsWriteBesideTheFirstFile();
    void validators_data();
    void validators();
    void oneVersionEverywhere();
    void metainfoScreenshotsAreCommitted();

private:
    QString m_path;
    QString m_bindir;
    QMap<QString, Group> m_entry;
};

// The build folder's entry by default; install_prefix points the test at an
// installed one with QUORVEL_DESKTOP_ENTRY and the folder of its programs
// with QUORVEL_DESKTOP_BINDIR.
void tst_DesktopEntry::initTestCase()
{
    m_path = qEnvironmentVariable("QUORVEL_DESKTOP_ENTRY", QStringLiteral(QUORVEL_DESKTOP_ENTRY));
    m_bindir = qEnvironmentVariable("QUORVEL_DESKTOP_BINDIR", QStringLiteral(QUORVEL_BUILD_DIR));
    m_entry = readDesktopEntry(m_path);
    QVERIFY2(m_entry.contains(QStringLiteral("Desktop Entry")), qPrintable(m_path));
}

void tst_DesktopEntry::mainEntry()
{
    const Group main = m_entry.value(QStringLiteral("Desktop Entry"));
    QCOMPARE(
        main.value(QStringLiteral("Categories")), QStringLiteral("Graphics;Photography;Office;"));
    const QStringList exec = execArguments(main.value(QStringLiteral("Exec")),
        { QStringLiteral("/a b/one.png"), QStringLiteral("/two.pdf") });
    QCOMPARE(exec,
        QStringList({ m_bindir + QStringLiteral("/quorvel"), QStringLiteral("/a b/one.png"),
            QStringLiteral("/two.pdf") }));
    QCOMPARE(main.value(QStringLiteral("Icon")), QStringLiteral("quorvel"));
    QCOMPARE(main.value(QStringLiteral("Actions")),
        QStringLiteral("convert-to-jpg;compress-below-200k;"));
    QCOMPARE(m_entry.value(QStringLiteral("Desktop Action convert-to-jpg"))
                 .value(QStringLiteral("Name")),
        QStringLiteral("Convert to JPG"));
    QCOMPARE(m_entry.value(QStringLiteral("Desktop Action compress-below-200k"))
                 .value(QStringLiteral("Name")),
        QStringLiteral("Compress below 200 KB"));
}

void tst_DesktopEntry::mimeTypesCoverEveryOpenedFormat_data()
{
    QTest::addColumn<QString>("extension");
    const ImageFormats &formats = ImageFormats::global();
    for (int type = 0; type < ImageFormatCount; ++type) {
        if (const ImageFormatRecord *record = formats.record(type)) {
            for (const QString &extension : record->extensions)
                QTest::newRow(qPrintable(extension)) << extension;
        }
    }
    QTest::newRow("pdf") << QStringLiteral("pdf");
}

// A file manager offers the program for a file whose type (from its name)
// the entry lists; a format the program opens but the entry forgets is one
// the user cannot open from there.
void tst_DesktopEntry::mimeTypesCoverEveryOpenedFormat()
{
    QFETCH(QString, extension);
    const QStringList listed = m_entry.value(QStringLiteral("Desktop Entry"))
                                   .value(QStringLiteral("MimeType"))
                                   .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const QList<QMimeType> types
        = QMimeDatabase().mimeTypesForFileName(QStringLiteral("photo.") + extension);
    if (types.isEmpty())
        QSKIP("the MIME database names no type for this extension");
    QStringList names;
    for (const QMimeType &type : types) {
        names << type.name();
        if (listed.contains(type.name()))
            return;
    }
    QFAIL(qPrintable(QStringLiteral("none of %1 is in MimeType").arg(names.join(", "))));
}

void tst_DesktopEntry::actionsWriteBesideTheFirstFile_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("runFolder");
    QTest::addColumn<qint64>("maxBytes");
    QTest::newRow("Convert to JPG")
        << QStringLiteral("convert-to-jpg") << QStringLiteral("format convert") << qint64(-1);
    QTest::newRow("Compress below 200 KB")
        << QStringLiteral("compress-below-200k") << QStringLiteral("AI toolbox batch compress")
        << qint64(200 * 1024);
}

// The actions run quorvel-cli through a small shell line: a folder name with
// spaces, quotes or a dollar sign must reach it as one argument, and the
// results land beside the files, not in whatever folder the launcher has.
void tst_DesktopEntry::actionsWriteBesideTheFirstFile()
{
    QFETCH(QString, action);
    QFETCH(QString, runFolder);
    QFETCH(qint64, maxBytes);
    QTemporaryDir sandbox;
    QVERIFY(sandbox.isValid());
    const QString photos = sandbox.filePath(QStringLiteral("Holiday \"2024\" $HOME 100%"));
    const QString elsewhere = sandbox.filePath(QStringLiteral("launcher"));
    QVERIFY(QDir().mkpath(photos));
    QVERIFY(QDir().mkpath(elsewhere));
    const QImage picture = noisyImage(600, 450);
    const QStringList files { photos + QStringLiteral("/beach 1.png"),
        photos + QStringLiteral("/it's.bmp") };
    QVERIFY(picture.save(files[0]));
    QVERIFY(picture.save(files[1]));

    const QString exec
        = m_entry.value(QStringLiteral("Desktop Action ") + action).value(QStringLiteral("Exec"));
    QVERIFY2(!exec.isEmpty(), qPrintable(action));
    QStringList arguments = execArguments(exec, files);
    QVERIFY2(arguments.contains(m_bindir + QStringLiteral("/quorvel-cli")), qPrintable(exec));
    const QString program = arguments.takeFirst();
    int exitCode = -1;
    const QString output = run(program, arguments, &exitCode, elsewhere);
    QVERIFY2(exitCode == 0, qPrintable(output));

    QVERIFY2(
        TestUtils::fileNames(elsewhere).isEmpty(), "nothing is written where the launcher runs");
    QVERIFY2(QDir(elsewhere).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty(),
        "no run folder where the launcher runs");
    const QString results = photos + QLatin1Char('/') + runFolder;
    const QStringList written = TestUtils::fileNames(results);
    QCOMPARE(written, QStringList({ QStringLiteral("beach 1.jpg"), QStringLiteral("it's.jpg") }));
    for (const QString &name : written) {
        QImage image(results + QLatin1Char('/') + name);
        QCOMPARE(image.size(), picture.size());
        if (maxBytes > 0)
            QVERIFY2(
                QFileInfo(results + QLatin1Char('/') + name).size() <= maxBytes, qPrintable(name));
    }
}

void tst_DesktopEntry::validators_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("desktop entry") << QStringLiteral("desktop-file-validate")
                                   << QStringList { qEnvironmentVariable("QUORVEL_DESKTOP_ENTRY",
                                          QStringLiteral(QUORVEL_DESKTOP_ENTRY)) };
    QTest::newRow("metainfo") << QStringLiteral("appstreamcli")
                              << QStringList { QStringLiteral("validate"),
                                     QStringLiteral("--no-net"), QStringLiteral(QUORVEL_METAINFO) };
}

void tst_DesktopEntry::validators()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    int exitCode = -1;
    const QString output = run(program, arguments, &exitCode);
    QVERIFY2(exitCode == 0, qPrintable(program + QStringLiteral(": ") + output));
}

// The package version, the programs' --version and the newest release the
// software centre shows are one number.
void tst_DesktopEntry::oneVersionEverywhere()
{
    const QString version = QStringLiteral(QUORVEL_VERSION);
    QCOMPARE(run(QStringLiteral(QUORVEL_BUILD_DIR "/quorvel"), { QStringLiteral("--version") })
                 .trimmed(),
        QStringLiteral("quorvel ") + version);
    QCOMPARE(run(QStringLiteral(QUORVEL_BUILD_DIR "/quorvel-cli"), { QStringLiteral("--version") })
                 .trimmed(),
        QStringLiteral("quorvel-cli ") + version);

    QFile file(QStringLiteral(QUORVEL_METAINFO));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString newest;
    while (!xml.atEnd() && newest.isEmpty()) {
        if (xml.readNext() == QXmlStreamReader::StartElement
            && xml.name() == QLatin1String("release"))
            newest = xml.attributes().value(QLatin1String("version")).toString();
    }
    QCOMPARE(newest, version);
}

// The metainfo shows screenshots the test suite takes (install_prefix writes
// them to build/screenshots; scripts/update-screenshots.sh copies them into
// dist/screenshots): each one it names is committed, at the size it states.
void tst_DesktopEntry::metainfoScreenshotsAreCommitted()
{
    QFile file(QStringLiteral(QUORVEL_METAINFO));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    int seen = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement
            || xml.name() != QLatin1String("image"))
            continue;
        const QSize stated(xml.attributes().value(QLatin1String("width")).toInt(),
            xml.attributes().value(QLatin1String("height")).toInt());
        const QString url = xml.readElementText();
        const QString name = url.section(QLatin1Char('/'), -1);
        QVERIFY2(url.endsWith(QStringLiteral("/dist/screenshots/") + name), qPrintable(url));
        const QString committed = QStringLiteral(QUORVEL_SOURCE_DIR "/dist/screenshots/") + name;
        QVERIFY2(QFileInfo(committed).size() < 200 * 1024, qPrintable(committed));
        QCOMPARE(QImage(committed).size(), stated);
        ++seen;
    }
    QVERIFY(seen >= 1);
}

QTEST_GUILESS_MAIN(tst_DesktopEntry)
#include "tst_DesktopEntry.moc"

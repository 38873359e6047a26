// Runs quorvel-cli's online commands (ocr, enhance) against the real
// quorvel-service on a free loopback port, with images rendered here.

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include "online/BundledService.h"

namespace {

struct CliResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

using Environment = QMap<QString, QString>;

CliResult runCli(const QStringList &arguments, const QString &workingDir, const QString &serviceUrl,
    const Environment &extra = Environment())
{
    QProcess process;
    process.setWorkingDirectory(workingDir);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUORVEL_SERVICE_URL"), serviceUrl);
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUORVEL_CLI), arguments);
    CliResult result;
    if (!process.waitForFinished(400000)) {
        process.kill();
        process.waitForFinished();
        result.err = "quorvel-cli did not finish";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// The --json lines by input file name.
QMap<QString, QJsonObject> rowsByName(const QByteArray &out)
{
    QMap<QString, QJsonObject> rows;
    for (const QByteArray &line : out.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        rows.insert(QFileInfo(row.value(QStringLiteral("input")).toString()).fileName(), row);
    }
    return rows;
}

QStringList allEntries(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).toLower().simplified()
                                          : QString();
}

// Two words in a large clear font, black on white.
void renderWords(const QString &path, const QString &words, const QSize &size, const char *format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(48);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect().adjusted(30, 0, -30, 0), Qt::AlignVCenter | Qt::AlignLeft, words);
    painter.end();
    QVERIFY(image.save(path, format));
}

} // namespace

class tst_QuorvelCliOnline : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void ocrWritesOneTextPerImage();
    void combineWritesOneTextInListOrder();
    void enhanceKeepsTheSourceSize();
    void largeImageIsSentReducedWithoutLeftovers();
    void unreachableServiceFailsEveryRow();
    void silentServiceFailsEachFileInTurn();
    void storedUserOrCliIsSent_data();
    void storedUserOrCliIsSent();
    void usageErrors_data();
    void usageErrors();

private:
    QString fixture(const QString &name) const { return m_fixtures.filePath(name); }

    QTemporaryDir m_data;
    QTemporaryDir m_fixtures;
    QScopedPointer<QTemporaryDir> m_work;
    BundledService m_service;
    QString m_url;
};

void tst_QuorvelCliOnline::initTestCase()
{
    QVERIFY(m_data.isValid());
    QVERIFY(m_fixtures.isValid());
    m_url = m_service.ensureRunning(QStringLiteral(QUORVEL_SERVICE_EXE), m_data.path(), 30000);
    QVERIFY2(!m_url.isEmpty(), qPrintable(m_service.errorString()));

    const QSize line(1000, 140);
    renderWords(
        fixture(QStringLiteral("first.png")), QStringLiteral("harbour lantern"), line, "PNG");
    renderWords(
        fixture(QStringLiteral("second.jpg")), QStringLiteral("copper meadow"), line, "JPEG");
    renderWords(fixture(QStringLiteral("third.bmp")), QStringLiteral("violet engine"), line, "BMP");
    // A PNG signature followed by rubbish.
    QFile corrupt(fixture(QStringLiteral("broken.png")));
    QVERIFY(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(2000, '\x5a'));
}

void tst_QuorvelCliOnline::init()
{
    m_work.reset(new QTemporaryDir);
    QVERIFY(m_work->isValid());
}

void tst_QuorvelCliOnline::ocrWritesOneTextPerImage()
{
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result
        = runCli({ QStringLiteral("ocr"), QStringLiteral("--to"), QStringLiteral("txt"),
                     QStringLiteral("--json"), QStringLiteral("-o"), out, fixture("first.png"),
                     fixture("broken.png"), fixture("second.jpg"), fixture("third.bmp") },
            m_work->path(), m_url);
    QVERIFY2(result.exitCode == 1, result.err.constData()); // the corrupt file failed
    const auto rows = rowsByName(result.out);
    QCOMPARE(rows.size(), 4);

    const QJsonObject broken = rows.value(QStringLiteral("broken.png"));
    QCOMPARE(broken.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    QVERIFY(!broken.value(QStringLiteral("error")).toString().isEmpty());

    // Named after the source file, its own extension kept.
    const QList<QPair<QString, QString>> expected {
        { QStringLiteral("first.png"), QStringLiteral("harbour lantern") },
        { QStringLiteral("second.jpg"), QStringLiteral("copper meadow") },
        { QStringLiteral("third.bmp"), QStringLiteral("violet engine") },
    };
    for (const auto &entry : expected) {
        const QJsonObject row = rows.value(entry.first);
        QCOMPARE(row.value(QStringLiteral("status")).toString(), QStringLiteral("ok"));
        const QString output = QDir(out).filePath(entry.first + QStringLiteral(".txt"));
        QCOMPARE(row.value(QStringLiteral("output")).toString(), output);
        const QString text = readText(output);
        QVERIFY2(text.contains(entry.second), qPrintable(entry.first + ": " + text));
    }
    // Nothing else: no output for the corrupt file, no temporary leftovers.
    QCOMPARE(allEntries(out), QStringList({ "first.png.txt", "second.jpg.txt", "third.bmp.txt" }));
}

void tst_QuorvelCliOnline::combineWritesOneTextInListOrder()
{
    // No -o: the run folder in the current folder. The last file fails and the
    // combined text still holds the others, in the order given.
    const CliResult result
        = runCli({ QStringLiteral("ocr"), QStringLiteral("--combine"), QStringLiteral("--json"),
                     fixture("third.bmp"), fixture("first.png"), fixture("second.jpg"),
                     fixture("broken.png") },
            m_work->path(), m_url);
    QVERIFY2(result.exitCode == 1, result.err.constData());
    const QString runFolder = m_work->filePath(QStringLiteral("Batch Ocr"));
    QCOMPARE(allEntries(runFolder), QStringList({ "third.bmp.txt" }));
    const QString combined = QDir(runFolder).filePath(QStringLiteral("third.bmp.txt"));
    for (const char *name : { "third.bmp", "first.png", "second.jpg" })
        QCOMPARE(rowsByName(result.out).value(name).value(QStringLiteral("output")).toString(),
            combined);
    const QString text = readText(combined);
    const int violet = text.indexOf(QStringLiteral("violet engine"));
    const int harbour = text.indexOf(QStringLiteral("harbour lantern"));
    const int copper = text.indexOf(QStringLiteral("copper meadow"));
    QVERIFY2(violet >= 0 && harbour > violet && copper > harbour, qPrintable(text));
}

void tst_QuorvelCliOnline::enhanceKeepsTheSourceSize()
{
    renderWords(m_work->filePath(QStringLiteral("photo.jpg")), QStringLiteral("faint"),
        QSize(320, 200), "JPEG");
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result
        = runCli({ QStringLiteral("enhance"), QStringLiteral("--mode"), QStringLiteral("contrast"),
                     QStringLiteral("--json"), QStringLiteral("-o"), out,
                     m_work->filePath(QStringLiteral("photo.jpg")), fixture("broken.png"),
                     fixture("first.png") },
            m_work->path(), m_url);
    QVERIFY2(result.exitCode == 1, result.err.constData());
    const auto rows = rowsByName(result.out);
    QCOMPARE(rows.value(QStringLiteral("broken.png")).value(QStringLiteral("status")).toString(),
        QStringLiteral("failed"));
    QVERIFY(!rows.value(QStringLiteral("broken.png"))
                 .value(QStringLiteral("error"))
                 .toString()
                 .isEmpty());
    QCOMPARE(allEntries(out), QStringList({ "first.png", "photo.jpg" }));
    QCOMPARE(QImageReader(QDir(out).filePath(QStringLiteral("photo.jpg"))).size(), QSize(320, 200));
    QCOMPARE(
        QImageReader(QDir(out).filePath(QStringLiteral("first.png"))).size(), QSize(1000, 140));
}

void tst_QuorvelCliOnline::largeImageIsSentReducedWithoutLeftovers()
{
    // Noise does not compress: a 1000 x 1000 PNG of over 2 MB goes as a JPEG
    // copy scaled to about 2073600 pixels (1440 x 1440), and the copy made in
    // the temporary folder is gone afterwards.
    QImage noise(1000, 1000, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < noise.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = 0xff000000u | (seed >> 8);
        }
    }
    const QString source = m_work->filePath(QStringLiteral("noise.png"));
    QVERIFY(noise.save(source, "PNG"));
    QVERIFY(QFileInfo(source).size() > 2097152);
    const QString temp = m_work->filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(temp));
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result = runCli(
        { QStringLiteral("enhance"), QStringLiteral("-o"), out, source }, m_work->path(), m_url,
        // Qt would otherwise make its runtime folder in TMPDIR when none is set.
        { { "TMPDIR", temp }, { "XDG_RUNTIME_DIR", m_work->filePath(QStringLiteral("runtime")) } });
    QVERIFY2(result.exitCode == 0, result.err.constData());
    // The service answers in the uploaded copy's format; the name is the source's.
    QCOMPARE(allEntries(out), QStringList({ "noise.jpg" }));
    QCOMPARE(
        QImageReader(QDir(out).filePath(QStringLiteral("noise.jpg"))).size(), QSize(1440, 1440));
    QCOMPARE(allEntries(temp), QStringList());
}

void tst_QuorvelCliOnline::unreachableServiceFailsEveryRow()
{
    // A port nobody listens on: each file fails with a reason and nothing is written.
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result
        = runCli({ QStringLiteral("ocr"), QStringLiteral("--json"), QStringLiteral("-o"), out,
                     fixture("first.png"), fixture("second.jpg") },
            m_work->path(), QStringLiteral("http://127.0.0.1:9"));
    QCOMPARE(result.exitCode, 1);
    const auto rows = rowsByName(result.out);
    QCOMPARE(rows.size(), 2);
    for (const QJsonObject &row : rows) {
        QCOMPARE(row.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
        QVERIFY(row.value(QStringLiteral("error")).toString().contains(QStringLiteral("service")));
    }
    QCOMPARE(allEntries(out), QStringList());
}

void tst_QuorvelCliOnline::silentServiceFailsEachFileInTurn()
{
    // A service that takes the connection and never answers: every file is
    // given up after the limit, on its own, and the run still ends.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    const QString url = QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort());
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result
        = runCli({ QStringLiteral("ocr"), QStringLiteral("--json"), QStringLiteral("-o"), out,
                     fixture("first.png"), fixture("second.jpg") },
            m_work->path(), url, { { "QUORVEL_CLI_JOB_TIMEOUT_MS", "1500" } });
    QCOMPARE(result.exitCode, 1);
    const auto rows = rowsByName(result.out);
    QCOMPARE(rows.size(), 2);
    for (const QJsonObject &row : rows) {
        QCOMPARE(row.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
        QVERIFY2(row.value(QStringLiteral("error"))
                     .toString()
                     .contains(QStringLiteral("did not finish")),
            qPrintable(row.value(QStringLiteral("error")).toString()));
    }
    QCOMPARE(allEntries(out), QStringList());
}

void tst_QuorvelCliOnline::storedUserOrCliIsSent_data()
{
    QTest::addColumn<QString>("storedUser");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("nobody logged in") << QString() << QByteArray("cli");
    QTest::newRow("logged in") << QStringLiteral("u-ada-7") << QByteArray("u-ada-7");
}

void tst_QuorvelCliOnline::storedUserOrCliIsSent()
{
    QFETCH(QString, storedUser);
    QFETCH(QByteArray, sent);
    const QString config = m_work->filePath(QStringLiteral("config"));
    if (!storedUser.isEmpty()) {
        QSettings settings(config + QStringLiteral("/quorvel/quorvel.conf"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("quorvelUser"), storedUser);
    }
    // Word jobs carry the user; whether this service can make Word files
    // does not matter here.
    const CliResult result
        = runCli({ QStringLiteral("ocr"), QStringLiteral("--to"), QStringLiteral("docx"),
                     QStringLiteral("--json"), QStringLiteral("-o"), m_work->filePath("out"),
                     fixture("first.png") },
            m_work->path(), m_url, { { "XDG_CONFIG_HOME", config } });
    const auto rows = rowsByName(result.out);
    QCOMPARE(rows.size(), 1);
    const QJsonObject row = rows.first();
    if (row.value(QStringLiteral("status")).toString() == QLatin1String("failed"))
        QVERIFY(!row.value(QStringLiteral("error")).toString().isEmpty());

    const QByteArray path = (m_data.path() + QStringLiteral("/service.db")).toUtf8();
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt *stmt = nullptr;
    QByteArray user;
    if (sqlite3_prepare_v2(db,
            "SELECT user_id FROM jobs WHERE product = 'pic2word' ORDER BY rowid DESC LIMIT 1", -1,
            &stmt, nullptr)
            == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW)
        user = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    QCOMPARE(user, sent);
}

void tst_QuorvelCliOnline::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("table with text") << QStringList { "ocr", "--to", "txt", "--table" };
    QTest::newRow("combine with word") << QStringList { "ocr", "--to", "docx", "--combine" };
    QTest::newRow("unknown format") << QStringList { "ocr", "--to", "pdf" };
    QTest::newRow("unknown mode") << QStringList { "enhance", "--mode", "sharpen" };
}

void tst_QuorvelCliOnline::usageErrors()
{
    QFETCH(QStringList, arguments);
    arguments.append(fixture(QStringLiteral("first.png")));
    const CliResult result = runCli(arguments, m_work->path(), m_url);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(!result.err.isEmpty());
    QCOMPARE(allEntries(m_work->path()), QStringList());
}

QTEST_MAIN(tst_QuorvelCliOnline)
#include "tst_QuorvelCliOnline.moc"

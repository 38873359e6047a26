#include <sys/stat.h>

#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "TestUtils.h"
#include "app/BatchResult.h"
#include "app/ui/KApplication.h"
#include "widgets/KTableAddFileView.h"
#include "widgets/KTableListFileInfo.h"
#include "widgets/KTableListItem.h"
#include "widgets/KTableListView.h"

class tst_KTableListView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sizeText_data();
    void sizeText();
    void admission_data();
    void admission();
    void duplicatesAreAddedOnce();
    void pipesAndFoldersAreRefused();
    void drop_data();
    void drop();
    void rowStatesAndButtonCodes_data();
    void rowStatesAndButtonCodes();
    void deletingRowZeroKeepsRowOnesResult();
    void recordsForMissingRowsAreIgnored();
    void clearingAlwaysEmitsClearImage();
    void deleteButtonsAfterRun();
    void screenshotOfAllStates();

private:
    QStringList makeFiles(const QString &dir, const QStringList &names);
    QTemporaryDir m_dir;
};

void tst_KTableListView::initTestCase()
{
    KApplication::installFontSubstitutions();
    QVERIFY(m_dir.isValid());
}

QStringList tst_KTableListView::makeFiles(const QString &dir, const QStringList &names)
{
    QStringList paths;
    for (const QString &name : names)
        paths << TestUtils::writeFile(dir, name, QByteArray(1500, 'x'));
    return paths;
}

void tst_KTableListView::sizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("1000 bytes") << qint64(1000) << "1000B";
    QTest::newRow("exactly 1 KiB") << qint64(1024) << "1024B";
    QTest::newRow("2048 bytes") << qint64(2048) << "2KB";
    QTest::newRow("1.5 MiB") << qint64(1572864) << "1.5MB";
    QTest::newRow("15.3 MiB") << qint64(15.3 * 1048576) << "15MB";
    QTest::newRow("150 MiB") << qint64(150) * 1048576 << "1.5e+02MB";
    QTest::newRow("50 MiB, no overflow") << qint64(50) * 1048576 << "50MB";
    QTest::newRow("5 GiB") << qint64(5) * 1024 * 1048576 << "5.1e+03MB";
}

void tst_KTableListView::sizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(KTableListFileInfo::sizeText(bytes), text);
}

void tst_KTableListView::admission_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("admitted");
    QTest::newRow("jpg") << "a.jpg" << true;
    QTest::newRow("upper-case HEIC") << "a.HEIC" << true;
    QTest::newRow("pdf") << "doc.pdf" << true;
    QTest::newRow("upper-case PDF") << "SCAN.PDF" << true;
    QTest::newRow("mixed-case PDF") << "doc.Pdf" << true;
    QTest::newRow("text file") << "notes.txt" << false;
    QTest::newRow("no suffix") << "README" << false;
}

void tst_KTableListView::admission()
{
    QFETCH(QString, name);
    QFETCH(bool, admitted);
    QCOMPARE(KTableListView::isAdmissible("/some/where/" + name), admitted);
}

void tst_KTableListView::duplicatesAreAddedOnce()
{
    QTemporaryDir dir;
    const QStringList paths = makeFiles(dir.path(), { "a.jpg", "b.png", "c.gif" });
    KTableListView list(nullptr);
    QSignalSpy added(&list, &KTableListView::addImages);
    QVERIFY(!list.isShowingList());
    list.appendFiles({ paths[0], paths[1] });
    QCOMPARE(added.last().at(0).toStringList(), (QStringList { paths[0], paths[1] }));
    QVERIFY(list.isShowingList());
    list.appendFiles({ paths[1], paths[2], paths[2] });
    QCOMPARE(added.last().at(0).toStringList(), QStringList { paths[2] });
    list.appendFiles({ paths[0] });
    QCOMPARE(added.count(), 3);
    QCOMPARE(added.last().at(0).toStringList(), QStringList());
    QCOMPARE(list.files(), paths);
    QCOMPARE(list.rowCount(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(list.row(i)->filePath(), paths[i]);
        QCOMPARE(list.row(i)->state(), BatchResult::NotStarted);
        QCOMPARE(list.row(i)->statusText(), QString("not started"));
    }
}

// A pipe named like a photo would hold a worker for ever: it is left out,
// named in the list's one message, and the real files are added.
void tst_KTableListView::pipesAndFoldersAreRefused()
{
    QTemporaryDir dir;
    const QStringList paths = makeFiles(dir.path(), { "a.jpg" });
    const QString pipe = dir.filePath("pipe.jpg");
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString folder = dir.filePath("album.png");
    QVERIFY(QDir().mkdir(folder));
    KTableListView list(nullptr);
    QCOMPARE(list.appendFiles({ pipe, paths[0], folder }), paths);
    QCOMPARE(list.files(), paths);
    QVERIFY2(list.lastRejection().contains("pipe.jpg: not a regular file (a FIFO)"),
        qPrintable(list.lastRejection()));
    QVERIFY2(list.lastRejection().contains("album.png: not a regular file"),
        qPrintable(list.lastRejection()));
}

static bool sendDrop(QWidget *target, const QStringList &paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

void tst_KTableListView::drop_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("rows");
    QTest::newRow("first supported adds all, the unknown one too")
        << QStringList { "a.jpg", "notes.txt", "b.png" } << QString() << 3;
    QTest::newRow("first unsupported adds nothing")
        << QStringList { "notes.txt", "a.jpg" } << QString() << 0;
    QTest::newRow("filter lacks the suffix")
        << QStringList { "a.gif", "b.jpg" } << "*.jpg *.png" << 0;
    QTest::newRow("filter matches in lower case") << QStringList { "A.JPG" } << "*.jpg *.png" << 1;
    QTest::newRow("pdf onto a pdf list") << QStringList { "doc.pdf" } << "*.pdf" << 1;
}

void tst_KTableListView::drop()
{
    QFETCH(QStringList, names);
    QFETCH(QString, filter);
    QFETCH(int, rows);
    QTemporaryDir dir;
    const QStringList paths = makeFiles(dir.path(), names);
    KTableListView list(nullptr);
    list.setFileFilter(filter);
    QSignalSpy added(&list, &KTableListView::addImages);
    const bool accepted = sendDrop(&list, paths);
    QCOMPARE(accepted, rows > 0);
    QCOMPARE(list.rowCount(), rows);
    QCOMPARE(added.count(), rows > 0 ? 1 : 0);
}

void tst_KTableListView::rowStatesAndButtonCodes_data()
{
    QTest::addColumn<BatchResult::Status>("state");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVector<bool>>("visible");
    QTest::addColumn<QVector<int>>("codes"); // -1: nothing emitted
    QTest::newRow("not started") << BatchResult::NotStarted << "not started"
                                 << QVector<bool> { true, false, false }
                                 << QVector<int> { 3, -1, 3 };
    QTest::newRow("processing") << BatchResult::Processing << "processing"
                                << QVector<bool> { false, false, false }
                                << QVector<int> { -1, -1, 3 };
    QTest::newRow("succeeded") << BatchResult::Succeeded << "process succeed"
                               << QVector<bool> { true, true, false } << QVector<int> { 0, 1, 3 };
    QTest::newRow("failed") << BatchResult::Failed << "process failed"
                            << QVector<bool> { true, false, false } << QVector<int> { 3, 3, 3 };
}

void tst_KTableListView::rowStatesAndButtonCodes()
{
    QFETCH(BatchResult::Status, state);
    QFETCH(QString, text);
    QFETCH(QVector<bool>, visible);
    QFETCH(QVector<int>, codes);
    const QString path = TestUtils::writeFile(m_dir.path(), "row.jpg", "x");
    KTableListItem row(nullptr, path);
    row.show();
    row.setState(state);
    QCOMPARE(row.statusText(), text);
    QCOMPARE(row.isAnimating(), state == BatchResult::Processing);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(row.button(i)->isVisible(), visible[i]);
    QSignalSpy spy(&row, &KTableListItem::operateBtnClicked);
    for (int i = 0; i < 3; ++i) {
        spy.clear();
        row.button(i)->click();
        if (codes[i] < 0)
            QCOMPARE(spy.count(), 0);
        else
            QCOMPARE(spy.value(0).value(0).toInt(), codes[i]);
    }
    QVERIFY(!row.dateText().isEmpty());
}

void tst_KTableListView::deletingRowZeroKeepsRowOnesResult()
{
    QTemporaryDir dir;
    const QStringList paths = makeFiles(dir.path(), { "a.jpg", "b.jpg", "c.jpg" });
    KTableListView list(nullptr);
    list.appendFiles(paths);
    list.updateStatus({ 0, BatchResult::Succeeded, "/out/a.png", QString() });
    list.updateStatus({ 1, BatchResult::Succeeded, "/out/b.png", QString() });
    list.updateStatus({ 2, BatchResult::Failed, QString(), QString() });
    // Delete row 0 through its own delete button (B3 after success).
    QSignalSpy cleared(&list, &KTableListView::clearImage);
    list.row(0)->button(2)->click();
    QCOMPARE(list.files(), (QStringList { paths[1], paths[2] }));
    QCOMPARE(list.rowCount(), 2);
    QCOMPARE(list.result(0).path, QString("/out/b.png"));
    QCOMPARE(list.result(0).index, 0);
    QCOMPARE(list.row(0)->filePath(), paths[1]);
    QCOMPARE(list.result(1).status, BatchResult::Failed);
    QCOMPARE(cleared.count(), 0);
    // Removing the rest by path returns to the empty page and says so.
    list.removeFile(paths[1]);
    list.removeFile(paths[2]);
    QCOMPARE(cleared.count(), 1);
    QVERIFY(!list.isShowingList());
}

void tst_KTableListView::recordsForMissingRowsAreIgnored()
{
    KTableListView list(nullptr);
    list.updateStatus({ 5, BatchResult::Succeeded, "/x", QString() });
    QVERIFY(!list.hasResult(5));
    list.removeFile("/not/listed.jpg");
    QCOMPARE(list.rowCount(), 0);
}

void tst_KTableListView::clearingAlwaysEmitsClearImage()
{
    QTemporaryDir dir;
    KTableListView list(nullptr);
    QSignalSpy cleared(&list, &KTableListView::clearImage);
    list.onClearFile();
    QCOMPARE(cleared.count(), 1);
    list.appendFiles(makeFiles(dir.path(), { "a.jpg" }));
    list.clearButton()->click();
    QCOMPARE(cleared.count(), 2);
    QCOMPARE(list.rowCount(), 0);
    QVERIFY(list.files().isEmpty());
    QVERIFY(!list.isShowingList());
}

void tst_KTableListView::deleteButtonsAfterRun()
{
    QTemporaryDir dir;
    KTableListView list(nullptr);
    list.show();
    list.appendFiles(makeFiles(dir.path(), { "a.jpg", "b.jpg" }));
    list.updateStatus({ 0, BatchResult::Succeeded, "/out/a.png", QString() });
    list.updateStatus({ 1, BatchResult::Failed, QString(), QString() });
    list.setDeleteButtonsVisible(true);
    QVERIFY(list.row(0)->button(2)->isVisible());
    QVERIFY(!list.row(1)->button(2)->isVisible());
    list.setButtonsEnabled(false);
    QVERIFY(!list.addButton()->isEnabled());
    QVERIFY(!list.clearButton()->isEnabled());
}

void tst_KTableListView::screenshotOfAllStates()
{
    const QString shots = QString::fromLocal8Bit(qgetenv("QUORVEL_SCREENSHOT_DIR"));
    QTemporaryDir dir;
    QStringList names;
    for (int i = 0; i < 6; ++i)
        names << QStringLiteral("holiday photo %1.heic").arg(i + 1);
    KTableListView list(nullptr);
    list.appendFiles(makeFiles(dir.path(), names));
    list.updateStatus({ 1, BatchResult::Processing, QString(), QString() });
    list.updateStatus({ 2, BatchResult::Succeeded, dir.path() + "/out.jpg", QString() });
    const QString reason = "truncated: the file ends before its image data does";
    list.updateStatus({ 3, BatchResult::Failed, QString(), reason });
    list.updateStatus({ 4, BatchResult::Succeeded, dir.path() + "/out(1).jpg", QString() });
    list.updateStatus({ 0, BatchResult::NotStarted, QString(), QString() });
    list.show();
    // The failed row: the whole reason as its tooltip, a line that fits beside the size.
    QCOMPARE(list.row(3)->toolTip(), "process failed: " + reason);
    const QString line = list.row(3)->reasonLineText();
    QVERIFY(!line.isEmpty());
    QVERIFY(line == reason || line.endsWith(QChar(0x2026)));
    QVERIFY(list.row(2)->reasonLineText().isEmpty());
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const QImage image = list.grab().toImage();
    QCOMPARE(image.size(), QSize(886, 416));
    // Rows are painted #FAFAFA with grey separators; the texts make them far from uniform.
    QSet<QRgb> colours;
    for (int y = 40; y < 300; y += 2)
        for (int x = 0; x < 886; x += 2)
            colours.insert(image.pixel(x, y));
    QVERIFY(colours.size() > 10);
    if (!shots.isEmpty()) {
        QDir().mkpath(shots);
        QVERIFY(image.save(shots + "/file-list-states.png"));
    }
}

QTEST_MAIN(tst_KTableListView)
#include "tst_KTableListView.moc"

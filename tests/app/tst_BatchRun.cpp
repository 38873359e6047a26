#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "app/BatchRun.h"

// One step of a scripted run: a worker record (index = run id), or the
// deletion of a row, or the end of an extra step.
struct Step
{
    enum Kind { Record, Remove, BeginStep, EndStep } kind = Record;
    int id = -1; // run id of a record, or the row to delete
    BatchResult::Status status = BatchResult::Processing;
    QString output;
    QString reason;
};
Q_DECLARE_METATYPE(QVector<Step>)

namespace {

Step rec(int id, BatchResult::Status status, const QString &output = QString(),
    const QString &reason = QString())
{
    return { Step::Record, id, status, output, reason };
}

Step removeRow(int row) { return { Step::Remove, row, BatchResult::NotStarted, {}, {} }; }

Step step(Step::Kind kind) { return { kind, -1, BatchResult::NotStarted, {}, {} }; }

// "file:status:output" per remaining row, status as a letter (N P S F).
QString describe(const BatchRun &run)
{
    QStringList rows;
    for (int i = 0; i < run.count(); ++i) {
        const BatchResult r = run.result(i);
        const char letter = r.status == BatchResult::Succeeded ? 'S'
            : r.status == BatchResult::Failed                  ? 'F'
            : r.status == BatchResult::Processing              ? 'P'
                                                               : 'N';
        rows << QStringLiteral("%1:%2:%3")
                    .arg(QFileInfo(run.files()[i]).fileName(), QString(QLatin1Char(letter)),
                        r.status == BatchResult::Failed ? r.reason : r.path);
    }
    return rows.join(QLatin1Char(' '));
}

} // namespace

class tst_BatchRun : public QObject
{
    Q_OBJECT
private slots:
    void scriptedRuns_data();
    void scriptedRuns();
    void emptyRunDoesNotStart();
    void folderThatCannotBeMade_data();
    void folderThatCannotBeMade();
    void listIsLockedDuringARun();
    void extraStepHoldsTheEnd();
};

void tst_BatchRun::scriptedRuns_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QVector<Step>>("steps");
    QTest::addColumn<QString>("expected"); // every remaining row after the run
    QTest::addColumn<int>("finishedCount"); // finished() emissions
    QTest::addColumn<int>("succeeded");
    QTest::addColumn<int>("failed");

    const QStringList abc { "/in/a.png", "/in/b.png", "/in/c.png" };
    QTest::newRow("in order") << abc
                              << QVector<Step> { rec(0, BatchResult::Succeeded, "/o/a.jpg"),
                                     rec(1, BatchResult::Succeeded, "/o/b.jpg"),
                                     rec(2, BatchResult::Failed, {}, "truncated") }
                              << "a.png:S:/o/a.jpg b.png:S:/o/b.jpg c.png:F:truncated" << 1 << 2
                              << 1;
    QTest::newRow("out of order, processing after the final record")
        << abc
        << QVector<Step> { rec(2, BatchResult::Succeeded, "/o/c.jpg"),
               rec(0, BatchResult::Processing), rec(0, BatchResult::Failed, {}, "not an image"),
               rec(0, BatchResult::Processing), rec(1, BatchResult::Succeeded, "/o/b.jpg") }
        << "a.png:F:not an image b.png:S:/o/b.jpg c.png:S:/o/c.jpg" << 1 << 2 << 1;
    QTest::newRow("failed row deleted mid-run")
        << abc
        << QVector<Step> { rec(0, BatchResult::Failed, {}, "truncated"), removeRow(0),
               rec(2, BatchResult::Succeeded, "/o/c.jpg"),
               rec(1, BatchResult::Succeeded, "/o/b.jpg") }
        << "b.png:S:/o/b.jpg c.png:S:/o/c.jpg" << 1 << 2 << 1;
    QTest::newRow("row still processing cannot be deleted")
        << abc
        << QVector<Step> { removeRow(1), rec(0, BatchResult::Succeeded, "/o/a.jpg"),
               rec(1, BatchResult::Succeeded, "/o/b.jpg"),
               rec(2, BatchResult::Succeeded, "/o/c.jpg") }
        << "a.png:S:/o/a.jpg b.png:S:/o/b.jpg c.png:S:/o/c.jpg" << 1 << 3 << 0;
    QTest::newRow("failed and succeeded share a base name")
        << QStringList { "/in/x.png", "/in/x.heic" }
        << QVector<Step> { rec(1, BatchResult::Succeeded, "/o/x.jpg"),
               rec(0, BatchResult::Failed, {}, "unsupported variant") }
        << "x.png:F:unsupported variant x.heic:S:/o/x.jpg" << 1 << 1 << 1;
    QTest::newRow("combined document fails after its pages went in")
        << QStringList { "/in/a.png", "/in/b.png" }
        << QVector<Step> { step(Step::BeginStep), rec(0, BatchResult::Succeeded, "/o/all.pdf"),
               rec(1, BatchResult::Succeeded, "/o/all.pdf"),
               rec(0, BatchResult::Failed, {}, "the disk is full"),
               rec(1, BatchResult::Failed, {}, "the disk is full"), step(Step::EndStep) }
        << "a.png:F:the disk is full b.png:F:the disk is full" << 1 << 0 << 2;
    QTest::newRow("records for unknown ids are dropped")
        << QStringList { "/in/a.png" }
        << QVector<Step> { rec(7, BatchResult::Succeeded, "/o/x.jpg"), rec(-1, BatchResult::Failed),
               rec(0, BatchResult::Succeeded, "/o/a.jpg") }
        << "a.png:S:/o/a.jpg" << 1 << 1 << 0;
    QTest::newRow("a failure without words still says something")
        << QStringList { "/in/a.png" } << QVector<Step> { rec(0, BatchResult::Failed) }
        << "a.png:F:could not be processed" << 1 << 0 << 1;
}

void tst_BatchRun::scriptedRuns()
{
    QFETCH(QStringList, files);
    QFETCH(QVector<Step>, steps);
    QFETCH(QString, expected);
    QFETCH(int, finishedCount);
    QFETCH(int, succeeded);
    QFETCH(int, failed);

    BatchRun run;
    QCOMPARE(run.add(files), files);
    QSignalSpy finished(&run, &BatchRun::finished);
    QSignalSpy running(&run, &BatchRun::runningChanged);
    QVERIFY(run.start());
    QCOMPARE(running.count(), 1);
    for (int i = 0; i < run.count(); ++i)
        QCOMPARE(run.result(i).status, BatchResult::Processing);
    for (const Step &item : steps) {
        if (item.kind == Step::Record)
            run.apply({ item.id, item.status, item.output, item.reason });
        else if (item.kind == Step::Remove)
            run.remove(item.id);
        else if (item.kind == Step::BeginStep)
            run.beginStep();
        else
            run.endStep();
    }
    QCOMPARE(describe(run), expected);
    QCOMPARE(finished.count(), finishedCount);
    QCOMPARE(finished.first().at(0).toInt(), succeeded);
    QCOMPARE(finished.first().at(1).toInt(), failed);
    QVERIFY(!run.isRunning());
    QCOMPARE(running.count(), 2);
    QCOMPARE(running.last().at(0).toBool(), false);
    // Late records of the finished run change nothing.
    run.apply({ 0, BatchResult::Failed, QString(), QStringLiteral("late") });
    QCOMPARE(describe(run), expected);
    QCOMPARE(finished.count(), finishedCount);
}

void tst_BatchRun::emptyRunDoesNotStart()
{
    BatchRun run;
    QSignalSpy finished(&run, &BatchRun::finished);
    QSignalSpy running(&run, &BatchRun::runningChanged);
    QVERIFY(!run.start());
    QTemporaryDir dir;
    QString error;
    QVERIFY(run.startInFolder(dir.path(), "format convert", &error).isEmpty());
    QVERIFY(!error.isEmpty());
    QVERIFY(!run.isRunning());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(running.count(), 0);
    // Nothing was made for a run that did not start.
    QVERIFY(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

void tst_BatchRun::folderThatCannotBeMade_data()
{
    QTest::addColumn<QString>("parent"); // FILE: a plain file; RO: a read-only folder
    QTest::addColumn<QString>("reasonPart");
    QTest::newRow("below a plain file") << "FILE/sub"
                                        << "not a folder";
    QTest::newRow("read-only folder") << "RO"
                                      << "permission denied";
    QTest::newRow("no folder chosen") << ""
                                      << "no folder";
}

void tst_BatchRun::folderThatCannotBeMade()
{
    QFETCH(QString, parent);
    QFETCH(QString, reasonPart);
    QTemporaryDir dir;
    if (parent.startsWith("FILE"))
        parent.replace("FILE", TestUtils::writeFile(dir.path(), "plain", "x"));
    if (parent == "RO") {
        if (TestUtils::isRoot())
            QSKIP("root writes into read-only folders");
        parent = dir.filePath("ro");
        QVERIFY(QDir().mkdir(parent));
        QFile::setPermissions(parent, QFile::ReadOwner | QFile::ExeOwner);
    }
    BatchRun run;
    run.add({ "/in/a.png", "/in/b.png" });
    QSignalSpy changed(&run, &BatchRun::resultChanged);
    QString error;
    QVERIFY(run.startInFolder(parent, "format convert", &error).isEmpty());
    QVERIFY2(error.contains(reasonPart), qPrintable(error));
    QVERIFY2(error.startsWith("cannot create the output folder"), qPrintable(error));
    // One message for the run, not a failed row per file.
    QVERIFY(!run.isRunning());
    QCOMPARE(changed.count(), 0);
    for (int i = 0; i < run.count(); ++i)
        QCOMPARE(run.result(i).status, BatchResult::NotStarted);
}

void tst_BatchRun::listIsLockedDuringARun()
{
    BatchRun run;
    run.add({ "/in/a.png", "/in/b.png" });
    QVERIFY(run.start());
    QVERIFY(!run.start());
    QVERIFY(run.add({ "/in/c.png" }).isEmpty());
    QVERIFY(!run.clear());
    QVERIFY(!run.canRemove(0));
    run.apply({ 0, BatchResult::Succeeded, "/o/a.jpg", QString() });
    QVERIFY(run.canRemove(0));
    QVERIFY(run.remove(0));
    QCOMPARE(run.rowOfRunId(1), 0);
    run.apply({ 1, BatchResult::Succeeded, "/o/b.jpg", QString() });
    QVERIFY(!run.isRunning());
    QCOMPARE(run.add({ "/in/c.png", "/in/b.png" }), QStringList { "/in/c.png" });
    QVERIFY(run.clear());
    QCOMPARE(run.count(), 0);
}

void tst_BatchRun::extraStepHoldsTheEnd()
{
    BatchRun run;
    run.add({ "/in/a.png" });
    QSignalSpy finished(&run, &BatchRun::finished);
    QVERIFY(run.start());
    run.beginStep(); // a combined document still being written
    run.apply({ 0, BatchResult::Succeeded, "/o/all.pdf", QString() });
    QVERIFY(run.isRunning());
    QCOMPARE(finished.count(), 0);
    run.endStep();
    QVERIFY(!run.isRunning());
    QCOMPARE(finished.count(), 1);
    run.endStep(); // unbalanced: nothing happens
    QCOMPARE(finished.count(), 1);
}

QTEST_GUILESS_MAIN(tst_BatchRun)
#include "tst_BatchRun.moc"

// The job runner with engines of the test's own, and the built-in engines on
// bad input, in-process.

#include <atomic>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <QtTest>

#include "JobRunner.h"
#include "ObjectStore.h"
#include "ServiceDatabase.h"
#include "ServiceEngines.h"

using namespace quorvel::service;

namespace {

// A data folder with its store and database, and helpers to queue jobs.
struct Sandbox
{
    QTemporaryDir dir;
    ObjectStore store;
    ServiceDatabase database;

    bool open()
    {
        std::string error;
        return dir.isValid() && store.open(dir.path().toStdString(), error)
            && database.open(dir.path().toStdString() + "/service.db", error);
    }

    std::string queue(const std::string &product, const std::string &family,
        const QByteArray &bytes, const std::string &suffix = "png")
    {
        const std::string md5
            = QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toStdString();
        const std::string uuid = QUuid::createUuid().toString().toStdString();
        const std::string key
            = family + "/" + md5 + uuid + "1796777402/" + uuid.substr(1, 6) + "." + suffix;
        std::string error;
        if (!store.put(key, bytes.toStdString(), error))
            return {};
        JobRecord job;
        job.id = QUuid::createUuid().toRfc4122().toHex().toStdString();
        job.product = product;
        job.family = family;
        job.inputKey = key;
        return database.insertJob(job) ? job.id : std::string();
    }

    JobRecord waitForEnd(const std::string &id, int timeoutMs = 20000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            const auto job = database.job(id);
            if (!job || job->state == JobState::Success || job->state == JobState::Failed
                || deadline.hasExpired())
                return job ? *job : JobRecord();
            QThread::msleep(10);
        }
    }
};

void quietLog(const std::string &) { }

} // namespace

class tst_JobRunner : public QObject
{
    Q_OBJECT

private slots:
    void engineOutcomes_data();
    void engineOutcomes();
    void cancelStopsRunningEngine();
    void stopPutsRunningJobBack();
    void builtinEnginesRefuseBadPictures_data();
    void builtinEnginesRefuseBadPictures();
};

void tst_JobRunner::engineOutcomes_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("code");
    QTest::newRow("result and preview") << "good" << int(JobState::Success) << 0;
    QTest::newRow("success without bytes")
        << "empty" << int(JobState::Failed) << int(kJobEngineFailed);
    QTest::newRow("engine throws") << "throws" << int(JobState::Failed) << int(kJobEngineFailed);
    QTest::newRow("engine reports a failure")
        << "fails" << int(JobState::Failed) << int(kJobUnreadableInput);
    QTest::newRow("no engine for the product")
        << "missing" << int(JobState::Failed) << int(kJobEngineUnavailable);
    QTest::newRow("suffix that is no key")
        << "bad suffix" << int(JobState::Failed) << int(kJobStorageFailed);
}

void tst_JobRunner::engineOutcomes()
{
    QFETCH(QString, engine);
    QFETCH(int, state);
    QFETCH(int, code);
    Sandbox sandbox;
    QVERIFY(sandbox.open());
    EngineRegistry engines;
    engines["table2xls"] = [engine](const EngineJob &job, const EngineProgress &progress) {
        progress(50);
        EngineOutcome outcome;
        if (engine == QLatin1String("throws"))
            throw std::runtime_error("boom");
        if (engine == QLatin1String("fails"))
            return EngineOutcome::failure(kJobUnreadableInput, "unreadable-image: test");
        if (engine == QLatin1String("good") || engine == QLatin1String("bad suffix")) {
            outcome.result = "sheet of " + job.inputSuffix;
            outcome.resultSuffix = engine == QLatin1String("good") ? "xlsx" : "../x";
            outcome.preview = "preview";
            outcome.previewSuffix = "png";
        }
        return outcome;
    };
    const std::string product = engine == QLatin1String("missing") ? "piccolor" : "table2xls";
    const std::string id = sandbox.queue(product, "ocr", "input");
    QVERIFY(!id.empty());
    JobRunner runner(sandbox.database, sandbox.store, engines, &quietLog);
    runner.start(1);
    runner.wake();
    const JobRecord done = sandbox.waitForEnd(id);
    runner.stop();
    QCOMPARE(int(done.state), state);
    QCOMPARE(done.code, code);
    if (done.state == JobState::Success) {
        // Both objects are in the store before the job reads as a success.
        std::string bytes;
        QVERIFY(sandbox.store.read(done.resultKey, bytes));
        QCOMPARE(bytes, std::string("sheet of png"));
        QVERIFY(sandbox.store.read(done.previewKey, bytes));
        QCOMPARE(bytes, std::string("preview"));
        QCOMPARE(done.progress, 100);
    } else {
        QVERIFY(done.resultKey.empty());
        QVERIFY(!done.reason.empty());
    }
}

void tst_JobRunner::cancelStopsRunningEngine()
{
    Sandbox sandbox;
    QVERIFY(sandbox.open());
    std::atomic<bool> started { false };
    std::atomic<bool> stoppedByProgress { false };
    EngineRegistry engines;
    // An engine that would run for a minute, one step at a time.
    engines["pic2txt"] = [&](const EngineJob &, const EngineProgress &progress) {
        started = true;
        for (int step = 0; step < 6000; ++step) {
            if (!progress(step / 60)) {
                stoppedByProgress = true;
                return EngineOutcome::failure(kJobCancelled, "cancelled");
            }
            QThread::msleep(10);
        }
        EngineOutcome outcome;
        outcome.result = "too late";
        outcome.resultSuffix = "txt";
        return outcome;
    };
    const std::string id = sandbox.queue("pic2txt", "ocr", "input");
    JobRunner runner(sandbox.database, sandbox.store, engines, &quietLog);
    runner.start(1);
    runner.wake();
    QTRY_VERIFY_WITH_TIMEOUT(started && sandbox.database.job(id)->progress > 0, 10000);
    QCOMPARE(int(sandbox.database.job(id)->state), int(JobState::Running));
    QVERIFY(runner.cancel(id));
    QTRY_VERIFY_WITH_TIMEOUT(stoppedByProgress.load(), 5000);
    QVERIFY(!runner.cancel(id));
    runner.stop();
    const JobRecord done = *sandbox.database.job(id);
    QCOMPARE(int(done.state), int(JobState::Failed));
    QCOMPARE(done.code, int(kJobCancelled));
}

void tst_JobRunner::stopPutsRunningJobBack()
{
    Sandbox sandbox;
    QVERIFY(sandbox.open());
    std::atomic<bool> started { false };
    std::atomic<int> runs { 0 };
    EngineRegistry engines;
    engines["picenhance"] = [&](const EngineJob &, const EngineProgress &progress) {
        ++runs;
        started = true;
        while (progress(10))
            QThread::msleep(5);
        return EngineOutcome::failure(kJobCancelled, "cancelled");
    };
    const std::string id = sandbox.queue("picenhance", "ai", "input");
    {
        JobRunner runner(sandbox.database, sandbox.store, engines, &quietLog);
        runner.start(1);
        runner.wake();
        QTRY_VERIFY_WITH_TIMEOUT(started.load(), 10000);
        runner.stop();
    }
    // Interrupted by the shutdown, not failed: it waits for the next start.
    QCOMPARE(int(sandbox.database.job(id)->state), int(JobState::Queued));
    QCOMPARE(runs.load(), 1);

    EngineRegistry finishing;
    finishing["picenhance"] = [](const EngineJob &, const EngineProgress &) {
        EngineOutcome outcome;
        outcome.result = "done";
        outcome.resultSuffix = "png";
        return outcome;
    };
    JobRunner next(sandbox.database, sandbox.store, finishing, &quietLog);
    next.start(1);
    QCOMPARE(int(sandbox.waitForEnd(id).state), int(JobState::Success));
}

void tst_JobRunner::builtinEnginesRefuseBadPictures_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray pngHeader = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452");
    QTest::newRow("text: empty file") << "pic2txt" << QByteArray();
    QTest::newRow("text: words named .png") << "pic2txt" << QByteArray("hello, this is no picture");
    QTest::newRow("text: truncated PNG") << "pic2txt" << pngHeader;
    QTest::newRow("contrast: empty file") << "picenhance" << QByteArray();
    QTest::newRow("contrast: truncated PNG") << "picenhance" << pngHeader;
}

void tst_JobRunner::builtinEnginesRefuseBadPictures()
{
    QFETCH(QString, product);
    QFETCH(QByteArray, bytes);
    Sandbox sandbox;
    QVERIFY(sandbox.open());
    const std::string family = product == QLatin1String("pic2txt") ? "ocr" : "ai";
    const std::string id = sandbox.queue(product.toStdString(), family, bytes);
    std::string log;
    JobRunner runner(sandbox.database, sandbox.store, builtinEngines(),
        [&log](const std::string &line) { log += line + '\n'; });
    runner.start(1);
    const JobRecord done = sandbox.waitForEnd(id);
    runner.stop();
    QCOMPARE(int(done.state), int(JobState::Failed));
    QCOMPARE(done.code, int(kJobUnreadableInput));
    // The service log says why.
    QVERIFY2(log.find("failed with code 422") != std::string::npos, log.c_str());
    QVERIFY(log.find(done.reason) != std::string::npos);
}

QTEST_GUILESS_MAIN(tst_JobRunner)
#include "tst_JobRunner.moc"

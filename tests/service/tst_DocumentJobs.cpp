// Document and table jobs through the real quorvel-service: the engines are
// reached through the job runner, and the results and previews come back
// through the download URLs as the desktop client fetches them.

#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "EngineTestUtils.h"
#include "ServiceTestClient.h"
#include "TinyColourModel.h"

using namespace ServiceTest;
using EngineTestUtils::Cell;
using EngineTestUtils::Table;

class tst_DocumentJobs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void tableJobReturnsPreviewAndWorkbook();
    void wordJobReturnsDocument();
    void colouringWithModelsOption();

private:
    QJsonObject runJob(const QString &product, const QString &family, const QByteArray &data);

    QTemporaryDir m_data;
    ServiceProcess m_service;
    Client *m_client = nullptr;
};

void tst_DocumentJobs::initTestCase()
{
    QVERIFY(QFile::exists(serviceExecutable()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QUORVEL_MODELS"));
    env.insert(QStringLiteral("QUORVEL_OCR_LANGUAGES"), QStringLiteral("eng"));
    QVERIFY2(
        m_service.start(m_data.path(), { QStringLiteral("--workers"), QStringLiteral("1") }, env),
        m_service.standardError().constData());
    m_client = new Client(m_service.baseUrl());
}

void tst_DocumentJobs::cleanupTestCase()
{
    delete m_client;
    QCOMPARE(m_service.terminate(), 0);
}

QJsonObject tst_DocumentJobs::runJob(
    const QString &product, const QString &family, const QByteArray &data)
{
    QString failure;
    const QString jobId
        = m_client->submitJob(product, family, data, QStringLiteral("png"), &failure);
    if (jobId.isEmpty()) {
        qWarning("submit failed: %s", qPrintable(failure));
        return QJsonObject();
    }
    return m_client->waitForJob(product, family, jobId, 60000);
}

void tst_DocumentJobs::tableJobReturnsPreviewAndWorkbook()
{
    Table table;
    table.rows = 2;
    table.columns = 3;
    table.cells = { { 0, 0, 1, 2, QStringLiteral("Team") }, { 0, 2, 1, 1, QStringLiteral("Score") },
        { 1, 0, 1, 1, QStringLiteral("Red") }, { 1, 1, 1, 1, QStringLiteral("Blue") },
        { 1, 2, 1, 1, QStringLiteral("42") } };
    const QImage image = EngineTestUtils::renderTable(table, 150, 56, 26);
    const QJsonObject done
        = runJob(QStringLiteral("table2xls"), QStringLiteral("ocr"), EngineTestUtils::png(image));
    QCOMPARE(done.value(QStringLiteral("status")).toString(), QStringLiteral("success"));
    const QJsonObject result = done.value(QStringLiteral("result")).toObject();
    const QString key = result.value(QStringLiteral("key")).toString();
    const QString previewKey = result.value(QStringLiteral("previewImage")).toString();
    QVERIFY2(key.endsWith(QLatin1String(".xlsx")), qPrintable(key));
    QVERIFY2(!previewKey.isEmpty(), "a table result names its preview");

    // The client fetches the preview first, then the result.
    const QImage preview = QImage::fromData(
        m_client->download(QStringLiteral("table2xls"), previewKey, QStringLiteral("ocr")));
    QCOMPARE(preview.size(), image.size());
    const QByteArray workbook
        = m_client->download(QStringLiteral("table2xls"), key, QStringLiteral("ocr"));
    QCOMPARE(EngineTestUtils::describe(EngineTestUtils::xlsxTable(workbook)),
        EngineTestUtils::describe(table));
}

void tst_DocumentJobs::wordJobReturnsDocument()
{
    const QImage image
        = EngineTestUtils::renderText({ QStringLiteral("Dear neighbour,"), QString(), QString(),
                                          QStringLiteral("the garden party starts at noon.") },
            28);
    const QJsonObject done
        = runJob(QStringLiteral("pic2word"), QStringLiteral("ocr"), EngineTestUtils::png(image));
    QCOMPARE(done.value(QStringLiteral("status")).toString(), QStringLiteral("success"));
    const QString key
        = done.value(QStringLiteral("result")).toObject().value(QStringLiteral("key")).toString();
    QVERIFY2(key.endsWith(QLatin1String(".docx")), qPrintable(key));
    const QByteArray document
        = m_client->download(QStringLiteral("pic2word"), key, QStringLiteral("ocr"));
    QCOMPARE(EngineTestUtils::docxParagraphs(document),
        QStringList({ QStringLiteral("Dear neighbour,"),
            QStringLiteral("the garden party starts at noon.") }));
}

void tst_DocumentJobs::colouringWithModelsOption()
{
    QTemporaryDir models;
    TinyColourModel::writeWorking(models.path());
    QTemporaryDir data;
    ServiceProcess service;
    QVERIFY2(service.start(data.path(),
                 { QStringLiteral("--workers"), QStringLiteral("1"), QStringLiteral("--models"),
                     models.path() }),
        service.standardError().constData());
    Client client(service.baseUrl());
    QImage grey(64, 48, QImage::Format_Grayscale8);
    grey.fill(128);
    QString failure;
    const QString jobId = client.submitJob(QStringLiteral("piccolor"), QStringLiteral("ai"),
        EngineTestUtils::png(grey), QStringLiteral("png"), &failure);
    QVERIFY2(!jobId.isEmpty(), qPrintable(failure));
    const QJsonObject done
        = client.waitForJob(QStringLiteral("piccolor"), QStringLiteral("ai"), jobId, 30000);
    QCOMPARE(done.value(QStringLiteral("status")).toString(), QStringLiteral("success"));
    const QString key
        = done.value(QStringLiteral("result")).toObject().value(QStringLiteral("key")).toString();
    const QImage coloured
        = QImage::fromData(client.download(QStringLiteral("piccolor"), key, QStringLiteral("ai")));
    QCOMPARE(coloured.size(), grey.size());
    const QRgb pixel = coloured.pixel(32, 24);
    QVERIFY2(qRed(pixel) - qBlue(pixel) > 40, "the tiny network's orange is in the picture");
    QCOMPARE(service.terminate(), 0);
}

QTEST_MAIN(tst_DocumentJobs)
#include "tst_DocumentJobs.moc"

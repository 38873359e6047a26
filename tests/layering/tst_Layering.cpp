#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "LayerCheck.h"

// The folder table against the real tree, and the checker against small trees
// that break one rule each.
class tst_Layering : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void theSourceTreeKeepsTheTable();
    void brokenRulesAreReported_data();
    void brokenRulesAreReported();

private:
    LayerCheck m_check;
};

namespace {

bool writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

void tst_Layering::initTestCase()
{
    QString error;
    QVERIFY2(m_check.loadTable(QStringLiteral(QUORVEL_LAYER_TABLE), &error), qPrintable(error));
    m_check.setWidgetsIncludeDir(QStringLiteral(QUORVEL_QTWIDGETS_INCLUDE_DIR));
}

void tst_Layering::theSourceTreeKeepsTheTable()
{
    const QStringList violations = m_check.check(QStringLiteral(QUORVEL_SOURCE_DIR));
    QVERIFY2(violations.isEmpty(), qPrintable(violations.join(QLatin1Char('\n'))));
}

void tst_Layering::brokenRulesAreReported_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // empty: no violation

    QTest::newRow("headless folder uses a lower one")
        << "src/convert/Task.cpp" << QByteArray("#include \"codec/KImageWrapper.h\"\n") << "";
    QTest::newRow("header beside the includer")
        << "src/codec/Task.cpp" << QByteArray("#include \"Task.h\"\n") << "";
    QTest::newRow("headless folder uses widgets")
        << "src/codec/Bad.cpp"
        << QByteArray("#include <QImage>\n\n#include \"widgets/KPushButton.h\"\n")
        << "src/codec/Bad.cpp:3: includes \"widgets/KPushButton.h\": codec may use only app";
    QTest::newRow("headless folder includes a QtWidgets header")
        << "src/pdf/Bad.cpp" << QByteArray("#include <QLabel>\n")
        << "src/pdf/Bad.cpp:1: includes <QLabel>, a QtWidgets header, in headless code (pdf)";
    QTest::newRow("module-qualified QtWidgets header")
        << "src/app/Bad.cpp" << QByteArray("// x\n#include <QtWidgets/QWidget>\n")
        << "src/app/Bad.cpp:2: includes <QtWidgets/QWidget>, a QtWidgets header, in headless "
           "code (app)";
    QTest::newRow("shared widgets use the shell")
        << "src/widgets/Bad.cpp" << QByteArray("#include \"app/ui/KApplication.h\"\n")
        << "src/widgets/Bad.cpp:1: includes \"app/ui/KApplication.h\": widgets may use only app, "
           "codec";
    QTest::newRow("one tool's views use another's")
        << "src/convert/ui/Bad.cpp" << QByteArray("#include \"pdf/ui/KSelectPageView.h\"\n")
        << "src/convert/ui/Bad.cpp:1: includes \"pdf/ui/KSelectPageView.h\": convert/ui may use "
           "only app, codec, convert, online/ui, widgets";
    QTest::newRow("outside library uses ours")
        << "libs/pdfrender/Bad.cpp" << QByteArray("#include \"app/FileUtils.h\"\n")
        << "libs/pdfrender/Bad.cpp:1: includes \"app/FileUtils.h\": libs/pdfrender stands in for "
           "an outside library and may use nothing of ours";
    QTest::newRow("service uses the program")
        << "service/Bad.cpp" << QByteArray("#include \"codec/KImageWrapper.h\"\n")
        << "service/Bad.cpp:1: includes \"codec/KImageWrapper.h\": service may use only "
           "service/engines";
    QTest::newRow("service engines use the program")
        << "service/engines/Bad.cpp" << QByteArray("#include \"codec/KImageWrapper.h\"\n")
        << "service/engines/Bad.cpp:1: includes \"codec/KImageWrapper.h\": service/engines may "
           "use only itself";
    QTest::newRow("folder without a row")
        << "src/newtool/Task.cpp" << QByteArray("#include \"app/FileUtils.h\"\n")
        << "src/newtool/Task.cpp: folder newtool has no row in cmake/layers.txt";
}

void tst_Layering::brokenRulesAreReported()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    QTemporaryDir tree;
    QVERIFY(writeFile(tree.filePath(file), text));
    const QStringList violations = m_check.check(tree.path());
    if (expected.isEmpty())
        QCOMPARE(violations, QStringList());
    else
        QCOMPARE(violations, QStringList { expected });
}

QTEST_GUILESS_MAIN(tst_Layering)
#include "tst_Layering.moc"

// Runs the real start-up sequence. This executable is built beside the program,
// so res/ is found the same way, and ctest starts it from another folder.
#include <QDir>
#include <QtTest>

#include "app/AppPaths.h"
#include "app/PSettings.h"
#include "app/ui/KApplication.h"
#include "app/ui/KCommonHeader.h"
#include "app/ui/KCommonHeaderItem.h"
#include "app/ui/KMainView.h"
#include "app/ui/KMainwindow.h"
#include "app/ui/KTitleBar.h"
#include "widgets/KModePage.h"
#include "widgets/KTaskPane.h"
#include "widgets/KTaskPanelItem.h"

class tst_KApplication : public QObject
{
    Q_OBJECT
private slots:
    void pathsComeFromTheExecutable();
    void bundleAndTranslationAreLoaded();
    void argumentsHaveNoEffect();
};

void tst_KApplication::pathsComeFromTheExecutable()
{
    QVERIFY(QDir::currentPath() != QCoreApplication::applicationDirPath());
    QCOMPARE(appDir(), QCoreApplication::applicationDirPath());
    QCOMPARE(resDir(), appDir() + "/res");
}

void tst_KApplication::bundleAndTranslationAreLoaded()
{
    KApplication *app = KApplication::instance();
    QVERIFY(app);
    QVERIFY(app->settings());
    QVERIFY(app->mainWindow());
    QVERIFY(app->mainWindow()->isVisible());
    // ":/photo.ico" lives only in the external bundle's root.
    QVERIFY(!QPixmap(":/photo.ico").isNull());
    QVERIFY(!app->mainWindow()->windowIcon().isNull());
    // Keys get readable wording; other texts stay exactly as written.
    const auto items = app->mainWindow()->titleBar()->header()->items();
    QCOMPARE(items[0]->text(), QString("OCR"));
    QCOMPARE(items[2]->text(), QString("Compress"));
    const auto tools = app->mainWindow()->mainView()->page(3)->taskPane()->items();
    QCOMPARE(tools[0]->text(), QString("Batch compress"));
    const auto convertTools = app->mainWindow()->mainView()->page(1)->taskPane()->items();
    QCOMPARE(convertTools[0]->text(), QString("Image Convert"));
}

void tst_KApplication::argumentsHaveNoEffect()
{
    KApplication *app = KApplication::instance();
    QCOMPARE(app->mainWindow()->mainView()->currentMode(), 0);
}

int main(int argc, char **argv)
{
    // A file path among the arguments must not change what the window shows.
    QVector<char *> args(argv, argv + argc);
    QByteArray extra("/tmp/some photo.jpg");
    args << extra.data();
    int count = args.size();
    KApplication app(count, args.data());
    tst_KApplication test;
    return QTest::qExec(&test, 1, argv);
}

#include "tst_KApplication.moc"

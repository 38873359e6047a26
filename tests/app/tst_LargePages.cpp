#include <cstdlib>

#include <QTemporaryDir>
#include <QtTest>

#include "app/LargePages.h"

// The allocator's large-page setting: how it joins the user's own settings,
// which work is worth starting again for, what a started program is given.
class tst_LargePages : public QObject
{
    Q_OBJECT
private slots:
    void settingJoinsTheUsers_data();
    void settingJoinsTheUsers();
    void workWorthStartingAgain_data();
    void workWorthStartingAgain();
    void childrenGetTheSetting();
};

void tst_LargePages::settingJoinsTheUsers_data()
{
    QTest::addColumn<QByteArray>("current"); // "-": not set at all
    QTest::addColumn<QByteArray>("expected"); // empty: leave as it is

    QTest::newRow("none") << QByteArray("-") << QByteArray("glibc.malloc.hugetlb=1");
    QTest::newRow("empty") << QByteArray() << QByteArray("glibc.malloc.hugetlb=1");
    QTest::newRow("another setting")
        << QByteArray("glibc.malloc.arena_max=2")
        << QByteArray("glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1");
    QTest::newRow("the user's own: off") << QByteArray("glibc.malloc.hugetlb=0") << QByteArray();
    QTest::newRow("already on, among others")
        << QByteArray("glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1") << QByteArray();
    QTest::newRow("a longer name is another setting")
        << QByteArray("glibc.malloc.hugetlb_x=1")
        << QByteArray("glibc.malloc.hugetlb_x=1:glibc.malloc.hugetlb=1");
}

void tst_LargePages::settingJoinsTheUsers()
{
    QFETCH(QByteArray, current);
    QFETCH(QByteArray, expected);
    QCOMPARE(LargePages::tunablesWith(current == "-" ? nullptr : current.constData()), expected);
}

void tst_LargePages::workWorthStartingAgain_data()
{
    QTest::addColumn<QStringList>("arguments"); // file names in the test folder
    QTest::addColumn<bool>("worth");

    QTest::newRow("one small photo") << QStringList { "convert", "small.jpg" } << false;
    QTest::newRow("one big photo") << QStringList { "convert", "big.jpg" } << true;
    QTest::newRow("photos big together")
        << QStringList { "convert", "half1.jpg", "half2.jpg" } << true;
    QTest::newRow("a folder") << QStringList { "convert", "folder" } << true;
    QTest::newRow("an existing output folder is no input")
        << QStringList { "convert", "-o", "folder", "small.jpg" } << false;
    QTest::newRow("nor is the password file")
        << QStringList { "topdf", "--password-file", "big.jpg", "small.jpg" } << false;
    QTest::newRow("missing files") << QStringList { "convert", "absent.jpg" } << false;
    QTest::newRow("options only") << QStringList { "--version" } << false;
}

void tst_LargePages::workWorthStartingAgain()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, worth);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto sized = [&dir](const char *name, qint64 size) {
        QFile file(dir.filePath(QLatin1String(name)));
        return file.open(QIODevice::WriteOnly) && file.resize(size);
    };
    QVERIFY(sized("small.jpg", LargePages::kWorthBytes / 4));
    QVERIFY(sized("big.jpg", LargePages::kWorthBytes));
    QVERIFY(sized("half1.jpg", LargePages::kWorthBytes / 2));
    QVERIFY(sized("half2.jpg", LargePages::kWorthBytes / 2));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));

    std::vector<QByteArray> storage { QByteArray("quorvel-cli") };
    for (const QString &argument : arguments) {
        storage.push_back(argument.startsWith(QLatin1Char('-'))
                ? argument.toLocal8Bit()
                : QFile::encodeName(dir.filePath(argument)));
    }
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    QCOMPARE(LargePages::worthRestarting(int(storage.size()), argv.data()), worth);
}

void tst_LargePages::childrenGetTheSetting()
{
    qputenv("QUORVEL_TEST_MARK", "kept");
    const std::vector<QByteArray> environment = LargePages::environmentForChild();
    QVERIFY(std::count(environment.cbegin(), environment.cend(), "QUORVEL_TEST_MARK=kept") == 1);
    const auto tunables = std::count_if(environment.cbegin(), environment.cend(),
        [](const QByteArray &entry) { return entry.startsWith("GLIBC_TUNABLES="); });
    const QByteArray own = qgetenv("GLIBC_TUNABLES");
    if (!LargePages::askingHelps()) {
        QCOMPARE(int(tunables), own.isNull() ? 0 : 1);
        QSKIP("this system gives large pages to all memory or to none, or the allocator is a "
              "sanitizer's: nothing to hand on");
    }
    QCOMPARE(int(tunables), 1);
    const QByteArray expected = own.isNull() ? QByteArray("GLIBC_TUNABLES=glibc.malloc.hugetlb=1")
                                             : "GLIBC_TUNABLES=" + own + ":glibc.malloc.hugetlb=1";
    QVERIFY(std::count(environment.cbegin(), environment.cend(), expected) == 1);
}

QTEST_GUILESS_MAIN(tst_LargePages)
#include "tst_LargePages.moc"

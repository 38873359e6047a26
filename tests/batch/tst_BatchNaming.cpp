#include <QtTest>

#include "batch/BatchNaming.h"

using Groups = QVector<QVector<QPair<QString, int>>>;

// Output names and the grouping by base name that keeps outputs of one base
// name in list order. The names reach the disk through the unique-name rule,
// which the batch output tests cover.
class tst_BatchNaming : public QObject
{
    Q_OBJECT
private slots:
    void names_data();
    void names();
    void groups_data();
    void groups();
};

void tst_BatchNaming::names_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("output"); // for "png"
    QTest::newRow("plain") << "/in/photo.jpg"
                           << "photo"
                           << "photo.png";
    QTest::newRow("inner dots kept") << "/in/holiday.v2.final.heic"
                                     << "holiday.v2.final"
                                     << "holiday.v2.final.png";
    QTest::newRow("no extension") << "/in/README"
                                  << "README"
                                  << "README.png";
    QTest::newRow("dot in the folder, not the name") << "/in/album.2024/scan"
                                                     << "scan"
                                                     << "scan.png";
    QTest::newRow("trailing dot") << "/in/odd."
                                  << "odd"
                                  << "odd.png";
    QTest::newRow("same extension as the output") << "/in/icon.png"
                                                  << "icon"
                                                  << "icon.png";
    QTest::newRow("spaces and non-ASCII")
        << QString::fromUtf8("/in/Été à Zürich.tif") << QString::fromUtf8("Été à Zürich")
        << QString::fromUtf8("Été à Zürich.png");
}

void tst_BatchNaming::names()
{
    QFETCH(QString, path);
    QFETCH(QString, base);
    QFETCH(QString, output);
    QCOMPARE(BatchNaming::baseName(path), base);
    QCOMPARE(BatchNaming::outputName(path, QStringLiteral("png")), output);
}

void tst_BatchNaming::groups_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<Groups>("expected");
    QTest::newRow("empty run") << QStringList() << Groups();
    QTest::newRow("all different") << QStringList { "/a/x.jpg", "/a/y.jpg" }
                                   << Groups { { { "/a/x.jpg", 0 } }, { { "/a/y.jpg", 1 } } };
    QTest::newRow("shared base name kept together in list order")
        << QStringList { "/a/x.png", "/a/y.jpg", "/b/x.jpg", "/a/x.bmp" }
        << Groups { { { "/a/x.png", 0 }, { "/b/x.jpg", 2 }, { "/a/x.bmp", 3 } },
               { { "/a/y.jpg", 1 } } };
    QTest::newRow("base names differ only in case") << QStringList { "/a/Photo.jpg",
        "/a/photo.png" } << Groups { { { "/a/Photo.jpg", 0 } }, { { "/a/photo.png", 1 } } };
    QTest::newRow("inner dots are part of the base name")
        << QStringList { "/a/trip.v1.jpg", "/a/trip.v2.jpg", "/a/trip.jpg" }
        << Groups { { { "/a/trip.v1.jpg", 0 } }, { { "/a/trip.v2.jpg", 1 } },
               { { "/a/trip.jpg", 2 } } };
    QTest::newRow("the same file twice") << QStringList { "/a/x.jpg", "/a/x.jpg" }
                                         << Groups { { { "/a/x.jpg", 0 }, { "/a/x.jpg", 1 } } };
}

void tst_BatchNaming::groups()
{
    QFETCH(QStringList, files);
    QFETCH(Groups, expected);
    QCOMPARE(BatchNaming::groupByBaseName(files), expected);
}

QTEST_GUILESS_MAIN(tst_BatchNaming)
#include "tst_BatchNaming.moc"

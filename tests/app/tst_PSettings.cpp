#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/PSettings.h"
#include "app/SettingsStore.h"

class tst_PSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void firstRunDefaults();
    void valuesPersistAcrossInstances();
    void clarityFlagReadsNonZeroAsEnabled_data();
    void clarityFlagReadsNonZeroAsEnabled();
    void groupedValues();

private:
    QTemporaryDir m_home;
};

void tst_PSettings::initTestCase()
{
    // Run by hand this test must never clear the real user's settings: the
    // store is redirected before anything opens it.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_home.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home.path());
    QSettings probe(QSettings::NativeFormat, QSettings::UserScope, "quorvel", "quorvel");
    QVERIFY2(probe.fileName().startsWith(m_home.path()), qPrintable(probe.fileName()));
}

void tst_PSettings::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "quorvel", "quorvel").clear();
}

void tst_PSettings::firstRunDefaults()
{
    PSettings settings;
    QCOMPARE(settings.userId(), QString());
    QCOMPARE(settings.clarityTipEnabled(), true);
}

void tst_PSettings::valuesPersistAcrossInstances()
{
    {
        PSettings settings;
        settings.setUserId("u-123");
        settings.setClarityTipEnabled(0);
    }
    PSettings again;
    QCOMPARE(again.userId(), QString("u-123"));
    QCOMPARE(again.clarityTipEnabled(), false);
    // The raw store uses the documented keys.
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "quorvel", "quorvel");
    QCOMPARE(raw.value("quorvelUser").toString(), QString("u-123"));
    QCOMPARE(raw.value("tableOcrClarityTips").toUInt(), 0u);
}

void tst_PSettings::clarityFlagReadsNonZeroAsEnabled_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("0") << QVariant(0u) << false;
    QTest::newRow("1") << QVariant(1u) << true;
    QTest::newRow("7") << QVariant(7u) << true;
}

void tst_PSettings::clarityFlagReadsNonZeroAsEnabled()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, enabled);
    {
        QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "quorvel", "quorvel");
        raw.setValue("tableOcrClarityTips", stored);
    }
    PSettings settings;
    QCOMPARE(settings.clarityTipEnabled(), enabled);
}

void tst_PSettings::groupedValues()
{
    SettingsStore store;
    store.setValue("g", "k", 5);
    QVERIFY(store.contains("g", "k"));
    QVERIFY(!store.contains("k"));
    QCOMPARE(store.value("g", "k", 0).toInt(), 5);
    store.remove("g", "k");
    QVERIFY(!store.contains("g", "k"));
    QCOMPARE(store.value("missing", 42).toInt(), 42);
}

QTEST_GUILESS_MAIN(tst_PSettings)
#include "tst_PSettings.moc"

// One settings store where a case-sensitive file system made two of the spellings.
#include "testmain.h"

#include "chartobjectregistry.h"
#include "usersettings.h"
#include <QTemporaryDir>

class TestUserSettings : public QObject
{
    Q_OBJECT

private slots:
    void adopt_data()
    {
        QTest::addColumn<int>("inStore"); // 0: no key
        QTest::addColumn<int>("inOther"); // 0: no file
        QTest::addColumn<bool>("otherIsStore");
        QTest::addColumn<int>("expected");
        QTest::newRow("a counter kept only in the other file is taken over") << 0 << 7 << false << 7;
        QTest::newRow("the store's own value wins") << 3 << 7 << false << 3;
        QTest::newRow("another name for the store's own file deletes nothing") << 3 << 0 << true << 3;
    }
    void adopt()
    {
        QFETCH(int, inStore);
        QFETCH(int, inOther);
        QFETCH(bool, otherIsStore);
        QTemporaryDir folder;
        const QString storePath = folder.filePath("MorWell/Client.conf");
        const QString otherPath = folder.filePath("Morwell/Client.conf");
        QSettings store(storePath, QSettings::IniFormat);
        if (inStore)
            store.setValue("EURUSD_objects", inStore);
        store.sync();
        if (otherIsStore) {
            QVERIFY(QDir().mkpath(folder.filePath("Morwell")));
            QVERIFY(QFile::link(storePath, otherPath));
        } else if (inOther) {
            QSettings(otherPath, QSettings::IniFormat).setValue("EURUSD_objects", inOther);
        }

        usersettings::adopt(store, otherPath);

        QTEST(QSettings(storePath, QSettings::IniFormat).value("EURUSD_objects").toInt(), "expected");
        QCOMPARE(QFileInfo::exists(otherPath), otherIsStore);
    }

    // Counters saved under the other spelling by an earlier build survive the first start,
    // and from then on counters and indicator switches share one file.
    void firstStoreOfTheProcessTakesOver()
    {
        const QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
        QSettings(config + "/Morwell/Client.conf", QSettings::IniFormat).setValue("GBPUSD_objects", 12);
        QCOMPARE(ChartObjectRegistry::storedCounter("GBPUSD"), 12);
        ChartObjectRegistry(13).storeCounter("GBPUSD");
        QCOMPARE(QDir(config).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"MorWell"});
        QCOMPARE(ChartObjectRegistry::storedCounter("GBPUSD"), 13);
    }
};

KESTRAL_TEST_MAIN(TestUserSettings)
#include "tst_usersettings.moc"

#include "TAVO_mgr_mainManager.h"

#include <QtTest>

namespace {

TAVO_SERVER boxRecord(const QString &udn, const QString &host = QStringLiteral("127.0.0.2"))
{
    TAVO_SERVER server;
    server.host = host;
    server.port = QStringLiteral("49152");
    server.device.UDN = udn;
    server.device.friendlyName = QStringLiteral("Box ") + udn;
    server.tavoStreamer.streamingPort = QStringLiteral("8080");
    server.tavoStreamer.encryption = QStringLiteral("AES128");
    server.tavoStreamer.streamerSource[0].remoteControllerURL = QStringLiteral("/rcu/tv.xml");
    server.tavoStreamer.streamerSource[1].sourceName = QStringLiteral("HDMI");
    return server;
}

QStringList udns(TAVO_mgr_mainManager &registry)
{
    QStringList list;
    for (int i = 0; i < registry.getServerCount(); ++i)
        list << registry.getServer(i)->device.UDN;
    return list;
}

bool sameRecord(const TAVO_SERVER &a, const TAVO_SERVER &b)
{
    auto sameSource = [](const STREAME_RSOURCE &x, const STREAME_RSOURCE &y) {
        return x.sourceName == y.sourceName && x.sourceIndex == y.sourceIndex
               && x.remoteControllerURL == y.remoteControllerURL;
    };
    return a.host == b.host && a.port == b.port && a.specVersion.major == b.specVersion.major
           && a.device.UDN == b.device.UDN && a.device.friendlyName == b.device.friendlyName
           && a.icon.url == b.icon.url && a.presentationURL == b.presentationURL
           && a.tavoStreamer.streamingPort == b.tavoStreamer.streamingPort
           && a.tavoStreamer.encryption == b.tavoStreamer.encryption
           && sameSource(a.tavoStreamer.streamerSource[0], b.tavoStreamer.streamerSource[0])
           && sameSource(a.tavoStreamer.streamerSource[1], b.tavoStreamer.streamerSource[1]);
}

} // namespace

class tst_registry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addsAndReplacesByExactUdn_data();
    void addsAndReplacesByExactUdn();
    void replaceTakesEveryNewValue();
    void heldPointerSeesReplacementAndSurvivesGrowth();
    void removeOutOfRangeChangesNothing_data();
    void removeOutOfRangeChangesNothing();
    void copyEqualsOriginalFieldByField();
    void defaultRecordIsEmpty();
};

void tst_registry::addsAndReplacesByExactUdn_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QList<int>>("results");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("insertion order") << QStringList{"A", "B", "C"} << QList<int>{0, 0, 0}
                                     << QStringList{"A", "B", "C"};
    QTest::newRow("same UDN replaced in place") << QStringList{"A", "B", "C", "B"}
                                                << QList<int>{0, 0, 0, 1} << QStringList{"A", "B", "C"};
    QTest::newRow("letter case makes two boxes") << QStringList{"abc", "ABC"} << QList<int>{0, 0}
                                                 << QStringList{"abc", "ABC"};
    QTest::newRow("empty UDNs share one entry") << QStringList{"", "A", ""} << QList<int>{0, 0, 1}
                                                << QStringList{"", "A"};
}

void tst_registry::addsAndReplacesByExactUdn()
{
    QFETCH(QStringList, added);
    QFETCH(QList<int>, results);
    QFETCH(QStringList, entries);

    TAVO_mgr_mainManager registry(nullptr);
    QList<int> actual;
    for (const QString &udn : added)
        actual << registry.addServer(boxRecord(udn));
    QCOMPARE(actual, results);
    QCOMPARE(udns(registry), entries);
}

void tst_registry::replaceTakesEveryNewValue()
{
    TAVO_mgr_mainManager registry(nullptr);
    registry.addServer(boxRecord("A"));
    registry.addServer(boxRecord("B", "127.0.0.3"));
    TAVO_SERVER changed;
    changed.device.UDN = "B";
    changed.host = "127.0.0.9";
    QCOMPARE(registry.addServer(changed), 1);
    QVERIFY(sameRecord(*registry.getServer(1), changed));
    QVERIFY(registry.getServer(1)->device.friendlyName.isNull());
}

void tst_registry::heldPointerSeesReplacementAndSurvivesGrowth()
{
    TAVO_mgr_mainManager registry(nullptr);
    registry.addServer(boxRecord("A"));
    TAVO_SERVER *current = registry.getServer(0);
    for (int i = 0; i < 100; ++i)
        registry.addServer(boxRecord(QString::number(i)));
    registry.addServer(boxRecord("A", "127.0.0.42"));
    QCOMPARE(registry.getServer(0), current);
    QCOMPARE(current->host, QStringLiteral("127.0.0.42"));
}

void tst_registry::removeOutOfRangeChangesNothing_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("minus one") << -1;
    QTest::newRow("count") << 2;
    QTest::newRow("far beyond") << 1000;
}

void tst_registry::removeOutOfRangeChangesNothing()
{
    QFETCH(int, index);
    TAVO_mgr_mainManager registry(nullptr);
    registry.addServer(boxRecord("A"));
    registry.addServer(boxRecord("B"));
    registry.removeServer(index);
    QCOMPARE(udns(registry), (QStringList{"A", "B"}));
    registry.removeServer(0);
    QCOMPARE(udns(registry), QStringList{"B"});
}

void tst_registry::copyEqualsOriginalFieldByField()
{
    const TAVO_SERVER original = boxRecord("A");
    TAVO_SERVER assigned;
    assigned = original;
    const TAVO_SERVER copied(original);
    QVERIFY(sameRecord(copied, original));
    QVERIFY(sameRecord(assigned, original));
    QCOMPARE(copied.tavoStreamer.streamerSource[1].sourceName, QStringLiteral("HDMI"));
}

void tst_registry::defaultRecordIsEmpty()
{
    const TAVO_SERVER server;
    QVERIFY(server.host.isNull());
    QVERIFY(server.device.UDN.isNull());
    QVERIFY(server.tavoStreamer.streamerSource[1].remoteControllerURL.isNull());
    const TAVO_KEY key;
    for (const TAVO_KEY_FLAG &flag : tavoKeyFlags)
        QVERIFY2(!(key.*flag.flag), flag.name);
}

QTEST_APPLESS_MAIN(tst_registry)
#include "tst_registry.moc"

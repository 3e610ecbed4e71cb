// The remote-controller description parser: what it reads, what it keeps, what it ignores.

#include "TAVO_mgr_rcuDescription.h"
#include "TAVO_xml_xmlParser.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList supportedKeys(const TAVO_KEY &controller)
{
    QStringList names;
    for (const TAVO_KEY_FLAG &key : tavoKeyFlags) {
        if (controller.*key.flag)
            names << QLatin1String(key.name);
    }
    return names;
}

QString controllerXml(const QString &id, const QString &name, const QString &supportKeys)
{
    return QStringLiteral("<remoteController><id>%1</id><name>%2</name><supportKeys>%3</supportKeys>"
                          "</remoteController>")
        .arg(id, name, supportKeys);
}

QString documentXml(const QString &attributes, const QString &body)
{
    return QStringLiteral("<?xml version=\"1.0\"?><RCU%1>%2</RCU>").arg(attributes, body);
}

bool sameController(const TAVO_KEY &a, const TAVO_KEY &b)
{
    return a.keyId == b.keyId && a.keyName == b.keyName && supportedKeys(a) == supportedKeys(b);
}

bool sameRecord(const TAVO_KEYS &a, const TAVO_KEYS &b)
{
    for (int i = 0; i < TAVO_KEYS::maxControllers; ++i) {
        if (!sameController(a.keys[i], b.keys[i]))
            return false;
    }
    return a.version == b.version && a.totalAmount == b.totalAmount && a.defaultId == b.defaultId;
}

} // namespace

class tst_rcuParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void supportKeysBySubstring_data();
    void supportKeysBySubstring();
    void everyKeyNameIsFound();
    void readsTheDocumentAndWritesItsDebugLines();
    void absentVersionIsSetEmpty();
    void reparseKeepsWhatTheDocumentDoesNotMention();
    void controllerWithoutSupportKeysKeepsItsFlags();
    void eleventhControllerIsIgnored();
    void unreadableFileLeavesTheRecord_data();
    void unreadableFileLeavesTheRecord();
    void elementNamesAreCaseSensitive();
    void commandsGoToTheDefaultController_data();
    void commandsGoToTheDefaultController();

private:
    QString write(const QString &xml);
    int parse(const QString &xml, TAVO_KEYS &keys);

    QTemporaryDir folder;
    int files = 0;
};

QString tst_rcuParser::write(const QString &xml)
{
    const QString path = folder.filePath(QStringLiteral("rcu%1.xml").arg(++files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(xml.toUtf8());
    return path;
}

int tst_rcuParser::parse(const QString &xml, TAVO_KEYS &keys)
{
    QString path = write(xml);
    TAVO_xml_xmlParser parser(nullptr);
    return parser.parseRcuXml(&path, &keys);
}

void tst_rcuParser::supportKeysBySubstring_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");  // in field order
    QTest::newRow("plain list") << "PWR,MENU,VOL_UP" << QStringList{"PWR", "MENU", "UP", "VOL_UP"};
    QTest::newRow("CH_UP holds UP") << "CH_UP" << QStringList{"UP", "CH_UP"};
    QTest::newRow("SCART holds AR") << "SCART" << QStringList{"SCART", "AR"};
    QTest::newRow("NUM_10_100 holds NUM_1") << "NUM_10_100" << QStringList{"NUM_1", "NUM_10_100"};
    QTest::newRow("FREEZE holds FR") << "FREEZE" << QStringList{"FREEZE", "FR"};
    QTest::newRow("STOP_REC holds STOP and REC") << "STOP_REC" << QStringList{"STOP", "REC", "STOP_REC"};
    QTest::newRow("PAU_REC holds REC") << "PAU_REC" << QStringList{"REC", "PAU_REC"};
    QTest::newRow("no separator needed") << "PWRMENU" << QStringList{"PWR", "MENU"};
    QTest::newRow("lower case") << "pwr" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
}

void tst_rcuParser::supportKeysBySubstring()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    TAVO_KEYS keys;
    keys.keys[0].OK = true;  // cleared by any supportKeys that does not name it
    QCOMPARE(parse(documentXml(QString(), controllerXml("1", "TV", text)), keys), 1);
    QCOMPARE(supportedKeys(keys.keys[0]), expected);
}

void tst_rcuParser::everyKeyNameIsFound()
{
    QStringList all;
    for (const TAVO_KEY_FLAG &key : tavoKeyFlags)
        all << QLatin1String(key.name);
    TAVO_KEYS keys;
    parse(documentXml(QString(), controllerXml("1", "TV", all.join(QLatin1Char(' ')))), keys);
    QCOMPARE(supportedKeys(keys.keys[0]), all);
}

void tst_rcuParser::readsTheDocumentAndWritesItsDebugLines()
{
    const QString body = QStringLiteral("<totalAmount>2</totalAmount><defaultId>7</defaultId><vendor>x</vendor>"
                                        "<remoteController><id>7</id><name>Living TV</name><colour>red</colour>"
                                        "<supportKeys>PWR,MUTE</supportKeys></remoteController>")
                         + controllerXml("9", "DVD", "EJECT");
    for (const char *line : {"totalAmount = 2", "defaultId = 7", "id = 7", "name = Living TV", "colour",
                             "supportKeys = PWR,MUTE", "PWR", "MUTE", "id = 9", "name = DVD",
                             "supportKeys = EJECT", "EJECT"})
        QTest::ignoreMessage(QtDebugMsg, line);
    TAVO_KEYS keys;
    QCOMPARE(parse(documentXml(QStringLiteral(" version=\"2.5\""), body), keys), 2);
    QCOMPARE(keys.version, QStringLiteral("2.5"));
    QCOMPARE(keys.totalAmount, QStringLiteral("2"));
    QCOMPARE(keys.defaultId, QStringLiteral("7"));
    QCOMPARE(keys.keys[0].keyId, QStringLiteral("7"));
    QCOMPARE(keys.keys[0].keyName, QStringLiteral("Living TV"));
    QCOMPARE(supportedKeys(keys.keys[0]), (QStringList{"PWR", "MUTE"}));
    QCOMPARE(keys.keys[1].keyName, QStringLiteral("DVD"));
    QCOMPARE(supportedKeys(keys.keys[1]), QStringList{"EJECT"});
}

void tst_rcuParser::absentVersionIsSetEmpty()
{
    TAVO_KEYS keys;
    parse(documentXml(QStringLiteral(" version=\"1.0\""), QString()), keys);
    QCOMPARE(keys.version, QStringLiteral("1.0"));
    parse(documentXml(QString(), QStringLiteral("<totalAmount>1</totalAmount>")), keys);
    QVERIFY(keys.version.isEmpty());
}

void tst_rcuParser::reparseKeepsWhatTheDocumentDoesNotMention()
{
    TAVO_KEYS keys;
    parse(documentXml(QString(), QStringLiteral("<totalAmount>3</totalAmount><defaultId>b</defaultId>")
                                     + controllerXml("a", "A", "PWR") + controllerXml("b", "B", "MENU")
                                     + controllerXml("c", "C", "SLEEP")),
          keys);
    QCOMPARE(parse(documentXml(QString(), QStringLiteral("<totalAmount>2</totalAmount>")
                                              + controllerXml("x", "X", "OK") + controllerXml("y", "Y", "INFO")),
                   keys),
             2);
    QCOMPARE(keys.totalAmount, QStringLiteral("2"));
    QCOMPARE(keys.defaultId, QStringLiteral("b"));
    QCOMPARE(keys.keys[1].keyId, QStringLiteral("y"));
    QCOMPARE(keys.keys[2].keyId, QStringLiteral("c"));
    QCOMPARE(keys.keys[2].keyName, QStringLiteral("C"));
    QCOMPARE(supportedKeys(keys.keys[2]), QStringList{"SLEEP"});
}

void tst_rcuParser::controllerWithoutSupportKeysKeepsItsFlags()
{
    TAVO_KEYS keys;
    parse(documentXml(QString(), controllerXml("1", "TV", "PWR,RED")), keys);
    parse(documentXml(QString(), QStringLiteral("<remoteController><name>Renamed</name></remoteController>")), keys);
    QCOMPARE(keys.keys[0].keyId, QStringLiteral("1"));
    QCOMPARE(keys.keys[0].keyName, QStringLiteral("Renamed"));
    QCOMPARE(supportedKeys(keys.keys[0]), (QStringList{"PWR", "RED"}));
}

void tst_rcuParser::eleventhControllerIsIgnored()
{
    QString body = QStringLiteral("<totalAmount>11</totalAmount>");
    for (int i = 1; i <= 11; ++i)
        body += controllerXml(QString::number(i), QStringLiteral("C%1").arg(i), i == 11 ? "HELP" : "PWR");
    TAVO_KEYS keys;
    QCOMPARE(parse(documentXml(QString(), body), keys), TAVO_KEYS::maxControllers);
    QCOMPARE(keys.keys[9].keyId, QStringLiteral("10"));
    QCOMPARE(supportedKeys(keys.keys[9]), QStringList{"PWR"});
    QCOMPARE(keys.totalAmount, QStringLiteral("11"));
}

void tst_rcuParser::unreadableFileLeavesTheRecord_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("content");
    QTest::newRow("missing") << false << QString();
    QTest::newRow("malformed") << true << QStringLiteral("<RCU version=\"9\"><totalAmount>0</total");
    QTest::newRow("empty") << true << QString();
}

void tst_rcuParser::unreadableFileLeavesTheRecord()
{
    QFETCH(bool, exists);
    QFETCH(QString, content);
    TAVO_KEYS keys;
    parse(documentXml(QStringLiteral(" version=\"1.0\""),
                      QStringLiteral("<totalAmount>1</totalAmount><defaultId>1</defaultId>")
                          + controllerXml("1", "TV", "PWR")),
          keys);
    const TAVO_KEYS before = keys;
    QString path = exists ? write(content) : folder.filePath(QStringLiteral("absent.xml"));
    TAVO_xml_xmlParser parser(nullptr);
    QCOMPARE(parser.parseRcuXml(&path, &keys), 0);
    QVERIFY(sameRecord(keys, before));
}

void tst_rcuParser::elementNamesAreCaseSensitive()
{
    TAVO_KEYS keys;
    QCOMPARE(parse(documentXml(QStringLiteral(" Version=\"3\""),
                               QStringLiteral("<TotalAmount>4</TotalAmount><remotecontroller><id>1</id>"
                                              "</remotecontroller>")),
                   keys),
             0);
    QVERIFY(keys.version.isEmpty());
    QVERIFY(keys.totalAmount.isEmpty());
    QVERIFY(keys.keys[0].keyId.isEmpty());
}

void tst_rcuParser::commandsGoToTheDefaultController_data()
{
    QTest::addColumn<QString>("totalAmount");
    QTest::addColumn<QString>("defaultId");
    QTest::addColumn<QString>("chosen");  // empty: no controller can be used
    QTest::addColumn<bool>("hasEject");
    QTest::newRow("named") << "2" << "dvd" << "dvd" << true;
    QTest::newRow("unknown id: the first") << "2" << "vcr" << "tv" << false;
    QTest::newRow("named beyond the count: the first") << "1" << "dvd" << "tv" << false;
    QTest::newRow("count that is no number") << "two" << "dvd" << "" << false;
}

// The panel's choice, which the recording command follows for its channel keys.
void tst_rcuParser::commandsGoToTheDefaultController()
{
    QFETCH(QString, totalAmount);
    QFETCH(QString, defaultId);
    QFETCH(QString, chosen);
    QFETCH(bool, hasEject);
    TAVO_KEYS keys;
    const int parsed = parse(documentXml(QString(), QStringLiteral("<totalAmount>%1</totalAmount><defaultId>%2</defaultId>")
                                                        .arg(totalAmount, defaultId)
                                                        + controllerXml("tv", "TV", "PWR") + controllerXml("dvd", "DVD", "EJECT")),
                             keys);
    const int usable = TAVO_mgr_rcuDescription::usableControllers(keys, parsed);
    QCOMPARE(usable > 0, !chosen.isEmpty());
    if (!usable)
        return;
    const TAVO_KEY &controller = keys.keys[TAVO_mgr_rcuDescription::defaultController(keys, usable)];
    QCOMPARE(controller.keyId, chosen);
    QCOMPARE(TAVO_mgr_rcuDescription::hasKey(controller, QStringLiteral("EJECT")), hasEject);
    QVERIFY(!TAVO_mgr_rcuDescription::hasKey(controller, QStringLiteral("EJECTED")));
}

QTEST_MAIN(tst_rcuParser)
#include "tst_rcuParser.moc"

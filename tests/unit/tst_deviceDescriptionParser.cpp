#include "TAVO_mgr_mainManager.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_xml_xmlParser.h"

#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <functional>

namespace {

using FieldReader = std::function<QString(const TAVO_SERVER &)>;

const QHash<QString, FieldReader> &fieldReaders()
{
    static const QHash<QString, FieldReader> readers = {
        {"UDN", [](const TAVO_SERVER &s) { return s.device.UDN; }},
        {"friendlyName", [](const TAVO_SERVER &s) { return s.device.friendlyName; }},
        {"deviceType", [](const TAVO_SERVER &s) { return s.device.deviceType; }},
        {"UPC", [](const TAVO_SERVER &s) { return s.device.UPC; }},
        {"major", [](const TAVO_SERVER &s) { return s.specVersion.major; }},
        {"minor", [](const TAVO_SERVER &s) { return s.specVersion.minor; }},
        {"presentationURL", [](const TAVO_SERVER &s) { return s.presentationURL; }},
        {"icon.url", [](const TAVO_SERVER &s) { return s.icon.url; }},
        {"icon.depth", [](const TAVO_SERVER &s) { return s.icon.depth; }},
        {"icon.width", [](const TAVO_SERVER &s) { return s.icon.width; }},
        {"streamingPort", [](const TAVO_SERVER &s) { return s.tavoStreamer.streamingPort; }},
        {"encryption", [](const TAVO_SERVER &s) { return s.tavoStreamer.encryption; }},
        {"source0", [](const TAVO_SERVER &s) {
             const STREAME_RSOURCE &e = s.tavoStreamer.streamerSource[0];
             return e.sourceName + '|' + e.sourceIndex + '|' + e.remoteControllerURL;
         }},
        {"source1", [](const TAVO_SERVER &s) {
             const STREAME_RSOURCE &e = s.tavoStreamer.streamerSource[1];
             return e.sourceName + '|' + e.sourceIndex + '|' + e.remoteControllerURL;
         }},
        {"host", [](const TAVO_SERVER &s) { return s.host; }},
        {"port", [](const TAVO_SERVER &s) { return s.port; }},
    };
    return readers;
}

QByteArray deviceDocument(const QByteArray &deviceContent, const QByteArray &outside = QByteArray())
{
    return "<?xml version=\"1.0\"?>\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">" + outside
           + "<device><deviceType>urn:vornex-com:device:TavoStreamer:1</deviceType>" + deviceContent + "</device></root>";
}

QByteArray streamSource(const QByteArray &category, const QByteArray &index, const QByteArray &rcu)
{
    return "<streamSource><sourceCategory>" + category + "</sourceCategory><sourceIndex>" + index
           + "</sourceIndex><remoteControllerURL>" + rcu + "</remoteControllerURL></streamSource>";
}

QByteArray box(const QByteArray &udn, const QByteArray &name)
{
    return deviceDocument("<friendlyName>" + name + "</friendlyName><UDN>uuid:" + udn + "</UDN>");
}

} // namespace

class tst_deviceDescriptionParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsFieldsAtTheirPositions_data();
    void readsFieldsAtTheirPositions();
    void brokenDocumentAddsNothing_data();
    void brokenDocumentAddsNothing();
    void sameBoxTwiceKeepsOneEntryAndOneRow();
    void newBoxesAppendRowsInRegistryOrder();

private:
    QString write(const QByteArray &content);
    void parse(TAVO_xml_xmlParser &parser, const QByteArray &content, const QString &url);

    QTemporaryDir folder;
    int files = 0;
};

QString tst_deviceDescriptionParser::write(const QByteArray &content)
{
    const QString path = folder.filePath(QStringLiteral("%1/DeviceDescription.xml").arg(++files));
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the test document");
    return path;
}

void tst_deviceDescriptionParser::parse(TAVO_xml_xmlParser &parser, const QByteArray &content, const QString &url)
{
    QString path = write(content);
    QUrl location(url);
    parser.parseDeviceDescription(&path, &location);
}

void tst_deviceDescriptionParser::readsFieldsAtTheirPositions_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    const QString url = QStringLiteral("http://127.0.0.2:49152/description.xml");
    QTest::newRow("UDN loses its uuid: prefix") << deviceDocument("<UDN>uuid:4d696e69-444c-164e-9d41-001ec0bbf1a5</UDN>") << url
                                                << "UDN" << "4d696e69-444c-164e-9d41-001ec0bbf1a5";
    QTest::newRow("UDN of five characters is empty") << deviceDocument("<UDN>uuid:</UDN>") << url << "UDN" << "";
    QTest::newRow("UDN shorter than the prefix is empty") << deviceDocument("<UDN>ab</UDN>") << url << "UDN" << "";
    QTest::newRow("UDN prefix is cut blindly") << deviceDocument("<UDN>UUID:abc</UDN>") << url << "UDN" << "abc";
    QTest::newRow("friendly name keeps its spaces and line breaks")
        << deviceDocument("<friendlyName>  Living Room \n</friendlyName>") << url << "friendlyName" << "  Living Room \n";
    QTest::newRow("element names in other case are not read")
        << deviceDocument("<FriendlyName>Den</FriendlyName>") << url << "friendlyName" << "";
    QTest::newRow("lower-case udn is not read") << deviceDocument("<udn>uuid:abc</udn>") << url << "UDN" << "";
    QTest::newRow("a repeated element overwrites")
        << deviceDocument("<friendlyName>A</friendlyName><friendlyName>B</friendlyName>") << url << "friendlyName" << "B";
    QTest::newRow("device fields are read below device only")
        << deviceDocument("", "<friendlyName>Outside</friendlyName>") << url << "friendlyName" << "";
    QTest::newRow("UPC") << deviceDocument("<UPC>0123</UPC>") << url << "UPC" << "0123";
    QTest::newRow("spec version major") << deviceDocument("", "<specVersion><major>1</major><minor>0</minor></specVersion>")
                                         << url << "major" << "1";
    QTest::newRow("spec version minor") << deviceDocument("", "<specVersion><major>1</major><minor>0</minor></specVersion>")
                                         << url << "minor" << "0";
    QTest::newRow("presentationURL below device") << deviceDocument("<presentationURL>/index.html</presentationURL>") << url
                                                  << "presentationURL" << "/index.html";
    QTest::newRow("presentationURL beside device is not read")
        << deviceDocument("", "<presentationURL>/index.html</presentationURL>") << url << "presentationURL" << "";
    QTest::newRow("any name of the document element")
        << QByteArray("<box><device><deviceType>urn:vornex-com:device:TavoStreamer:1</deviceType></device></box>") << url
        << "deviceType" << "urn:vornex-com:device:TavoStreamer:1";
    QTest::newRow("attributes are skipped")
        << deviceDocument("<friendlyName lang=\"en\">Den</friendlyName>") << url << "friendlyName" << "Den";

    const QByteArray twoIcons = deviceDocument(
        "<iconList><icon><mimetype>image/png</mimetype><width>48</width><depth>24</depth><url>/a.png</url></icon>"
        "<icon><width>120</width><url>/b.png</url></icon></iconList>");
    QTest::newRow("second icon's url wins") << twoIcons << url << "icon.url" << "/b.png";
    QTest::newRow("second icon's width wins") << twoIcons << url << "icon.width" << "120";
    QTest::newRow("first icon's depth stays when the second has none") << twoIcons << url << "icon.depth" << "24";

    const QByteArray one = deviceDocument("<TavoStreamer><streamingPort>8080</streamingPort><encryption>AES128</encryption>"
                                          + streamSource("HDMI", "0", "/rcu/tv.xml") + "</TavoStreamer>");
    QTest::newRow("streamer port") << one << url << "streamingPort" << "8080";
    QTest::newRow("encryption") << one << url << "encryption" << "AES128";
    QTest::newRow("one source fills entry 0") << one << url << "source0" << "HDMI|0|/rcu/tv.xml";
    QTest::newRow("one source leaves entry 1 empty") << one << url << "source1" << "||";

    const QByteArray three = deviceDocument("<TavoStreamer>" + streamSource("HDMI", "0", "/rcu/a.xml")
                                            + streamSource("AV", "1", "/rcu/b.xml") + streamSource("SAT", "2", "/rcu/c.xml")
                                            + "</TavoStreamer>");
    QTest::newRow("first of three sources") << three << url << "source0" << "HDMI|0|/rcu/a.xml";
    QTest::newRow("third source is not stored") << three << url << "source1" << "AV|1|/rcu/b.xml";

    const QByteArray twoStreamers = deviceDocument("<TavoStreamer>" + streamSource("HDMI", "0", "/rcu/a.xml")
                                                   + streamSource("AV", "1", "/rcu/b.xml") + "</TavoStreamer><TavoStreamer>"
                                                   + streamSource("SAT", "2", "/rcu/c.xml") + "</TavoStreamer>");
    QTest::newRow("second TavoStreamer restarts at entry 0") << twoStreamers << url << "source0" << "SAT|2|/rcu/c.xml";
    QTest::newRow("second TavoStreamer leaves entry 1") << twoStreamers << url << "source1" << "AV|1|/rcu/b.xml";
    QTest::newRow("TavoStreamer beside device is not read")
        << deviceDocument("", "<TavoStreamer><streamingPort>8080</streamingPort></TavoStreamer>") << url << "streamingPort" << "";

    const QByteArray claimsOtherAddress = deviceDocument("<URLBase>http://10.0.0.9:1234/</URLBase>");
    QTest::newRow("host from the URL") << claimsOtherAddress << url << "host" << "127.0.0.2";
    QTest::newRow("port from the URL") << claimsOtherAddress << url << "port" << "49152";
    QTest::newRow("port 80 for a URL without a port")
        << claimsOtherAddress << QStringLiteral("http://127.0.0.3/description.xml") << "port" << "80";
}

void tst_deviceDescriptionParser::readsFieldsAtTheirPositions()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, url);
    QFETCH(QString, field);
    QFETCH(QString, expected);

    TAVO_mgr_mainManager registry(nullptr);
    TAVO_xml_xmlParser parser(nullptr);
    parser.setManager(&registry);
    parse(parser, document, url);

    QCOMPARE(registry.getServerCount(), 1);
    QVERIFY(fieldReaders().contains(field));
    QCOMPARE(fieldReaders().value(field)(*registry.getServer(0)), expected);
}

void tst_deviceDescriptionParser::brokenDocumentAddsNothing_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("not well-formed") << QByteArray("<root><device><UDN>uuid:a</UDN></root>");
    QTest::newRow("not XML") << QByteArray("HTTP/1.1 404 Not Found");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("version 2 streamer") << QByteArray("<root><device><deviceType>urn:vornex-com:device:TavoStreamer:2"
                                                      "</deviceType><UDN>uuid:a</UDN></device></root>");
    QTest::newRow("another device") << QByteArray("<root><device><deviceType>urn:schemas-upnp-org:device:MediaRenderer:1"
                                                  "</deviceType><UDN>uuid:a</UDN></device></root>");
    QTest::newRow("no device type") << QByteArray("<root><device><UDN>uuid:a</UDN></device></root>");
}

void tst_deviceDescriptionParser::brokenDocumentAddsNothing()
{
    QFETCH(QByteArray, document);
    TAVO_mgr_mainManager registry(nullptr);
    TAVO_xml_xmlParser parser(nullptr);
    parser.setManager(&registry);
    parse(parser, document, QStringLiteral("http://127.0.0.2:49152/description.xml"));
    QCOMPARE(registry.getServerCount(), 0);

    QString missing = folder.filePath(QStringLiteral("missing.xml"));
    QUrl url(QStringLiteral("http://127.0.0.2:49152/description.xml"));
    parser.parseDeviceDescription(&missing, &url);
    QCOMPARE(registry.getServerCount(), 0);
}

// The window starts discovery: this runs inside the private network like every test.
void tst_deviceDescriptionParser::sameBoxTwiceKeepsOneEntryAndOneRow()
{
    TAVO_ui_mainWindow window;
    auto *table = window.findChild<QTableWidget *>();
    TAVO_xml_xmlParser parser(&window);
    parser.setManager(window.mManager);

    QTest::ignoreMessage(QtDebugMsg, "Add New Server");
    QTest::ignoreMessage(QtDebugMsg, "Parsing DeviceDescription Finished");
    parse(parser, box("u-1", "Living Room"), QStringLiteral("http://127.0.0.2:49152/description.xml"));
    QTest::ignoreMessage(QtDebugMsg, "Server Already Exists");
    parse(parser, box("u-1", "Renamed"), QStringLiteral("http://127.0.0.9:49153/description.xml"));

    QCOMPARE(window.mManager->getServerCount(), 1);
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Living Room (127.0.0.2)"));
    QCOMPARE(window.mManager->getServer(0)->device.friendlyName, QStringLiteral("Renamed"));
    QCOMPARE(window.mManager->getServer(0)->host, QStringLiteral("127.0.0.9"));
}

void tst_deviceDescriptionParser::newBoxesAppendRowsInRegistryOrder()
{
    TAVO_ui_mainWindow window;
    auto *table = window.findChild<QTableWidget *>();
    TAVO_xml_xmlParser parser(&window);
    parser.setManager(window.mManager);

    parse(parser, box("u-1", " Den "), QStringLiteral("http://127.0.0.2:49152/d.xml"));
    parse(parser, box("u-2", "Kitchen"), QStringLiteral("http://127.0.0.3:49152/d.xml"));
    parse(parser, box("u-1", "Den again"), QStringLiteral("http://127.0.0.2:49152/d.xml"));

    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral(" Den  (127.0.0.2)"));
    QCOMPARE(table->item(1, 0)->text(), QStringLiteral("Kitchen (127.0.0.3)"));
    QCOMPARE(window.mManager->getServer(1)->device.UDN, QStringLiteral("u-2"));
}

QTEST_MAIN(tst_deviceDescriptionParser)
#include "tst_deviceDescriptionParser.moc"

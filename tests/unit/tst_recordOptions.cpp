// The recording command's options, as its command line gives them, and a box's address as
// every program reads it.

#include "TAVO_record_options.h"

#include <QtTest>

Q_DECLARE_METATYPE(TAVO_record_boxName::Kind)

class tst_recordOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void boxAddressIsReadOrRefused_data();
    void boxAddressIsReadOrRefused();
    void boxIsReadOrRefused_data();
    void boxIsReadOrRefused();
};

namespace {

// "host port" (port -1 when none), or the description's URL.
QString whereOf(const TAVO_mgr_boxAddress &address)
{
    return address.description.isValid() ? address.description.toString()
                                         : QStringLiteral("%1 %2").arg(address.host).arg(address.port);
}

} // namespace

// The window's "add by address" and both programs' --box read an address alike.
void tst_recordOptions::boxAddressIsReadOrRefused_data()
{
    QTest::addColumn<QString>("address");
    // Empty when refused.
    QTest::addColumn<QString>("where");
    QTest::newRow("IPv4 address") << "192.168.1.20" << "192.168.1.20 -1";
    QTest::newRow("host name, spaces around") << "  kld450r.local " << "kld450r.local -1";
    QTest::newRow("host:port") << "192.168.1.20:49152" << "192.168.1.20 49152";
    QTest::newRow("host name:port") << "kld450r.local:49152" << "kld450r.local 49152";
    QTest::newRow("IPv6 address:port") << "[fe80::1]:49152" << "fe80::1 49152";
    QTest::newRow("IPv6 in brackets") << "[fe80::1]" << "fe80::1 -1";
    QTest::newRow("IPv6 bare") << "fe80::1" << "fe80::1 -1";
    QTest::newRow("description URL") << "http://192.168.1.20:49152/description.xml"
                                     << "http://192.168.1.20:49152/description.xml";
    QTest::newRow("IPv6 description URL") << "http://[fe80::1]:49152/d.xml" << "http://[fe80::1]:49152/d.xml";
    QTest::newRow("web page URL") << "http://192.168.1.20/" << "192.168.1.20 -1";
    QTest::newRow("web page URL with port") << "http://192.168.1.20:49152/" << "192.168.1.20 49152";
    QTest::newRow("empty") << "   " << "";
    QTest::newRow("port 0") << "192.168.1.20:0" << "";
    QTest::newRow("port too large") << "192.168.1.20:65536" << "";
    QTest::newRow("colon without port") << "192.168.1.20:" << "";
    QTest::newRow("not an IPv4 address") << "300.1.1.1:80" << "";
    QTest::newRow("short IPv4 address") << "1.2.3:80" << "";
    QTest::newRow("name in brackets") << "[box]:80" << "";
    QTest::newRow("path without scheme") << "192.168.1.20/description.xml" << "";
    QTest::newRow("HTTPS") << "https://192.168.1.20/description.xml" << "";
    QTest::newRow("other scheme") << "file:///etc/passwd" << "";
    QTest::newRow("user in URL") << "http://admin@192.168.1.20/description.xml" << "";
    QTest::newRow("space in host") << "my box" << "";
    QTest::newRow("scheme alone") << "http://" << "";
}

void tst_recordOptions::boxAddressIsReadOrRefused()
{
    QFETCH(QString, address);
    QFETCH(QString, where);

    const TAVO_mgr_boxAddress read = TAVO_mgr_boxAddress::read(address);

    QCOMPARE(read.isUsable() ? whereOf(read) : QString(), where);
    QCOMPARE(read.error.isEmpty(), !where.isEmpty());
    QVERIFY2(!read.error.contains(QLatin1Char('\n')), qPrintable(read.error));
}

void tst_recordOptions::boxIsReadOrRefused_data()
{
    using Kind = TAVO_record_boxName::Kind;
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<Kind>("kind");
    // For an address, what TAVO_mgr_boxAddress read of it.
    QTest::addColumn<QString>("where");
    QTest::newRow("friendly name, blanks around") << " Living Room " << true << Kind::NameOrUdn << "";
    QTest::newRow("friendly name, one word") << "Bedroom" << true << Kind::NameOrUdn << "";
    QTest::newRow("friendly name, a number") << "42" << true << Kind::NameOrUdn << "";
    QTest::newRow("UDN") << "uuid:7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e01" << true << Kind::NameOrUdn << "";
    QTest::newRow("UDN without uuid:") << "7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e01" << true << Kind::NameOrUdn << "";
    QTest::newRow("name with a colon") << "News 24: Berlin" << true << Kind::NameOrUdn << "";
    QTest::newRow("name with a dot and a blank") << "Dr. Who's box" << true << Kind::NameOrUdn << "";
    QTest::newRow("IPv4 address") << "192.168.1.20" << true << Kind::Address << "192.168.1.20 -1";
    QTest::newRow("host name") << "kld450r.local" << true << Kind::Address << "kld450r.local -1";
    QTest::newRow("IPv6 address") << "fe80::1" << true << Kind::Address << "fe80::1 -1";
    QTest::newRow("IPv4 address:port") << "192.168.1.20:49152" << true << Kind::AddressAndPort << "192.168.1.20 49152";
    QTest::newRow("one-word host:port") << "kld450r:49152" << true << Kind::AddressAndPort << "kld450r 49152";
    QTest::newRow("IPv6 address:port") << "[fe80::1]:49152" << true << Kind::AddressAndPort << "fe80::1 49152";
    QTest::newRow("description URL") << "http://192.168.1.20:49152/description.xml" << true << Kind::Description
                                     << "http://192.168.1.20:49152/description.xml";
    QTest::newRow("empty") << "  " << false << Kind::NameOrUdn << "";
    QTest::newRow("port 0") << "192.168.1.20:0" << false << Kind::NameOrUdn << "";
    QTest::newRow("name in brackets") << "[box]:80" << false << Kind::NameOrUdn << "";
    QTest::newRow("scheme alone") << "http://" << false << Kind::NameOrUdn << "";
}

void tst_recordOptions::boxIsReadOrRefused()
{
    QFETCH(QString, box);
    QFETCH(bool, usable);
    QFETCH(TAVO_record_boxName::Kind, kind);
    QFETCH(QString, where);
    TAVO_record_options options;
    QString problem;

    const bool read = TAVO_record_options::parse({QStringLiteral("tavo-record"), QStringLiteral("--box"), box},
                                                 QDateTime::currentDateTime(), &options, &problem);

    QVERIFY2(read == usable, qPrintable(problem));
    if (!usable) {
        QVERIFY2(problem.startsWith(QLatin1String("--box")) && !problem.contains(QLatin1Char('\n')), qPrintable(problem));
        return;
    }
    QCOMPARE(options.box.kind, kind);
    QCOMPARE(options.box.text, box.trimmed());
    QCOMPARE(kind == TAVO_record_boxName::Kind::NameOrUdn ? QString() : whereOf(options.box.address), where);
}

QTEST_GUILESS_MAIN(tst_recordOptions)
#include "tst_recordOptions.moc"

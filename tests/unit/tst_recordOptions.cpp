// The recording command's options, as its command line gives them.

#include "TAVO_record_options.h"

#include <QtTest>

Q_DECLARE_METATYPE(TAVO_record_boxName::Kind)

class tst_recordOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void boxIsReadOrRefused_data();
    void boxIsReadOrRefused();
};

void tst_recordOptions::boxIsReadOrRefused_data()
{
    using Kind = TAVO_record_boxName::Kind;
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<Kind>("kind");
    // The address, with its port when one was given, or the description's URL.
    QTest::addColumn<QString>("where");
    QTest::newRow("friendly name, blanks around") << " Living Room " << true << Kind::NameOrUdn << "";
    QTest::newRow("UDN") << "uuid:7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e01" << true << Kind::NameOrUdn << "";
    QTest::newRow("name with a colon") << "News 24: Berlin" << true << Kind::NameOrUdn << "";
    QTest::newRow("IPv4 address") << "192.168.1.20" << true << Kind::Address << "192.168.1.20";
    QTest::newRow("IPv4 address:port") << "192.168.1.20:49152" << true << Kind::AddressAndPort << "192.168.1.20 49152";
    QTest::newRow("IPv6 address:port") << "[fe80::1]:49152" << true << Kind::AddressAndPort << "fe80::1 49152";
    QTest::newRow("description URL") << "http://192.168.1.20:49152/description.xml" << true << Kind::Description
                                     << "http://192.168.1.20:49152/description.xml";
    QTest::newRow("empty") << "  " << false << Kind::NameOrUdn << "";
    QTest::newRow("port 0") << "192.168.1.20:0" << false << Kind::NameOrUdn << "";
    QTest::newRow("port too large") << "192.168.1.20:65536" << false << Kind::NameOrUdn << "";
    QTest::newRow("colon without port") << "192.168.1.20:" << false << Kind::NameOrUdn << "";
    QTest::newRow("not an address") << "300.1.1.1:80" << false << Kind::NameOrUdn << "";
    QTest::newRow("IPv6 without port") << "[fe80::1]" << false << Kind::NameOrUdn << "";
    QTest::newRow("name in brackets") << "[box]:80" << false << Kind::NameOrUdn << "";
    QTest::newRow("HTTPS") << "https://192.168.1.20/description.xml" << false << Kind::NameOrUdn << "";
    QTest::newRow("web page URL") << "http://192.168.1.20:49152/" << false << Kind::NameOrUdn << "";
    QTest::newRow("user in URL") << "http://admin@192.168.1.20/description.xml" << false << Kind::NameOrUdn << "";
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
    const QString found = options.box.description.isValid() ? options.box.description.toString()
                          : options.box.port > 0 ? QStringLiteral("%1 %2").arg(options.box.address.toString()).arg(options.box.port)
                                                 : options.box.address.toString();
    QCOMPARE(found, where);
}

QTEST_GUILESS_MAIN(tst_recordOptions)
#include "tst_recordOptions.moc"

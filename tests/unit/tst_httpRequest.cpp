// The key command sender against a local stand-in for a box's key service.

#include "TAVO_mgr_httpRequest.h"
#include "TAVO_mgr_keyFailures.h"
#include "TAVO_mgr_mainManager.h"
#include "TAVO_test_keyServer.h"
#include "TAVO_test_messageBoxes.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

class tst_httpRequest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void sendsTheWholeUrlAsRequestTarget();
    void sendsQuickCommandsInClickOrder();
    void refusalWithoutMessageDropsWaitingCommands_data();
    void refusalWithoutMessageDropsWaitingCommands();
    void refusalCodesShowTheirMessage_data();
    void refusalCodesShowTheirMessage();
    void commandsAfterARefusalAreSentAgain();
    void redirectIsAnAnswerNotFollowed();
    void silentBoxTimesOutAndTheNextCommandIsSent();
    void endlessAnswerDoesNotHoldTheQueue();
    void urlWithoutPortGoesToPort80();
    void failedCommandsAreToldOncePerBurst_data();
    void failedCommandsAreToldOncePerBurst();

private:
    void send(const QStringList &keys);
    bool markerFollows(const QStringList &sentBefore);

    TAVO_test_keyServer *box = nullptr;
    QWidget *panel = nullptr;
    TAVO_mgr_httpRequest *sender = nullptr;
};

// The sender's lines about failed commands are off unless asked for; the tests read them.
void tst_httpRequest::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("tavo.mgr.keys.debug=true"));
}

void tst_httpRequest::init()
{
    box = new TAVO_test_keyServer;
    QVERIFY(box->listen());
    panel = new QWidget;
    sender = new TAVO_mgr_httpRequest(panel);
}

void tst_httpRequest::cleanup()
{
    delete panel;
    delete box;
}

void tst_httpRequest::send(const QStringList &keys)
{
    for (const QString &key : keys) {
        QUrl url(box->keyUrlPrefix() + key);
        sender->httpRequest(&url);
    }
}

// A command sent now reaches the box right after the commands `sentBefore`: one that waited
// before it would have gone first.
bool tst_httpRequest::markerFollows(const QStringList &sentBefore)
{
    send({QStringLiteral("EXIT")});
    return box->waitForRequests(int(sentBefore.size()) + 1) && box->keys() == sentBefore + QStringList{QStringLiteral("EXIT")};
}

void tst_httpRequest::sendsTheWholeUrlAsRequestTarget()
{
    send({QStringLiteral("PWR")});
    QVERIFY(box->waitForRequests(1));
    QCOMPARE(box->requestLines().first(),
             QStringLiteral("GET http://127.0.0.1:%1/?src=1&ver=1.0&id=1&key=PWR HTTP/1.1").arg(box->port()));
}

void tst_httpRequest::sendsQuickCommandsInClickOrder()
{
    const QStringList keys = {QStringLiteral("NUM_1"), QStringLiteral("NUM_2"), QStringLiteral("NUM_3")};
    send(keys);
    QVERIFY(box->waitForRequests(3));
    QCOMPARE(box->keys(), keys);
}

void tst_httpRequest::refusalWithoutMessageDropsWaitingCommands_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("404") << 404;
    QTest::newRow("500") << 500;
    QTest::newRow("431, beside the listed codes") << 431;
}

void tst_httpRequest::refusalWithoutMessageDropsWaitingCommands()
{
    QFETCH(int, status);
    TAVO_test_messageBoxes boxes;
    box->setStatus(QStringLiteral("MENU"), status);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Error Code: %1").arg(status)));
    QSignalSpy answered(sender, &TAVO_mgr_httpRequest::commandAnswered);
    send({QStringLiteral("MENU"), QStringLiteral("UP"), QStringLiteral("DOWN")});
    QVERIFY(answered.wait());
    QVERIFY2(markerFollows({QStringLiteral("MENU")}), qPrintable(box->keys().join(QLatin1Char(' '))));
    QVERIFY(boxes.seen.isEmpty());
}

void tst_httpRequest::refusalCodesShowTheirMessage_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("432") << 432 << QStringLiteral("Old RCU Version");
    QTest::newRow("433") << 433 << QStringLiteral("Incorrect RCU Id");
    QTest::newRow("510") << 510 << QStringLiteral("Remote Controller Unavailable");
    QTest::newRow("514") << 514 << QStringLiteral("RCU Key Not Learned / Supported");
    QTest::newRow("515") << 515 << QStringLiteral("Unable to Access URI");
}

void tst_httpRequest::refusalCodesShowTheirMessage()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    TAVO_test_messageBoxes boxes;
    box->setStatus(QStringLiteral("PWR"), status);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Error Code: %1").arg(status)));
    send({QStringLiteral("PWR"), QStringLiteral("MENU")});
    QVERIFY(QTest::qWaitFor([&] { return !boxes.seen.isEmpty(); }, 5000));
    QVERIFY(QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }, 5000));
    QVERIFY2(markerFollows({QStringLiteral("PWR")}), qPrintable(box->keys().join(QLatin1Char(' '))));
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen.first().title, QStringLiteral("Error Code : %1").arg(status));
    QCOMPARE(boxes.seen.first().text, text);
    QCOMPARE(boxes.seen.first().buttons, 1);
    QCOMPARE(boxes.seen.first().owner, panel);
}

// While the refusal is on screen a held auto-repeat key may still click; once it is closed,
// commands go out again.
void tst_httpRequest::commandsAfterARefusalAreSentAgain()
{
    TAVO_test_messageBoxes boxes;
    box->setStatus(QStringLiteral("HELP"), 514);
    QTest::ignoreMessage(QtDebugMsg, "Error Code: 514");
    send({QStringLiteral("HELP")});
    QVERIFY(QTest::qWaitFor([&] { return !boxes.seen.isEmpty(); }, 5000));
    send({QStringLiteral("OK")});
    QVERIFY(box->waitForRequests(2));
    QCOMPARE(box->keys(), (QStringList{QStringLiteral("HELP"), QStringLiteral("OK")}));
}

void tst_httpRequest::redirectIsAnAnswerNotFollowed()
{
    box->setStatus(QStringLiteral("EPG"), 301);
    QTest::ignoreMessage(QtDebugMsg, "Error Code: 301");
    QSignalSpy answered(sender, &TAVO_mgr_httpRequest::commandAnswered);
    send({QStringLiteral("EPG"), QStringLiteral("INFO")});
    QVERIFY(answered.wait());
    QVERIFY2(markerFollows({QStringLiteral("EPG")}), qPrintable(box->keys().join(QLatin1Char(' '))));
}

void tst_httpRequest::silentBoxTimesOutAndTheNextCommandIsSent()
{
    sender->setTimeout(300);
    box->setSilent(QStringLiteral("SLEEP"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Key command timed out: .*key=SLEEP$")));
    send({QStringLiteral("SLEEP"), QStringLiteral("EXIT")});
    QVERIFY(box->waitForRequests(2));
    QCOMPARE(box->keys(), (QStringList{QStringLiteral("SLEEP"), QStringLiteral("EXIT")}));
}

// Data that keeps coming never trips the time limit; the status line alone settles a command.
void tst_httpRequest::endlessAnswerDoesNotHoldTheQueue()
{
    box->setEndless(QStringLiteral("MUTE"));
    send({QStringLiteral("MUTE"), QStringLiteral("EXIT")});
    QVERIFY(box->waitForRequests(2));
    QCOMPARE(box->keys(), (QStringList{QStringLiteral("MUTE"), QStringLiteral("EXIT")}));
}

// Taking port 80 needs the private network's root; elsewhere the case is skipped.
void tst_httpRequest::urlWithoutPortGoesToPort80()
{
    QTcpServer port80;
    if (!port80.listen(QHostAddress::LocalHost, 80))
        QSKIP("port 80 cannot be taken here");
    QUrl url(QStringLiteral("http://127.0.0.1/?src=1&ver=1.0&id=1&key=PWR"));
    sender->httpRequest(&url);
    QVERIFY(QTest::qWaitFor([&] { return port80.hasPendingConnections(); }, 5000));
}

void tst_httpRequest::failedCommandsAreToldOncePerBurst_data()
{
    QTest::addColumn<bool>("boxListens");
    QTest::addColumn<QString>("told");
    QTest::newRow("silent box") << true << QStringLiteral("Living Room did not answer the key SLEEP");
    QTest::newRow("nothing listens") << false
                                     << QStringLiteral("Living Room refused the connection for the key SLEEP: its key "
                                                       "service is not running");
}

// Three presses at a box that does not take them say so once; after an answer the next failure
// is told again.
void tst_httpRequest::failedCommandsAreToldOncePerBurst()
{
    QFETCH(bool, boxListens);
    QFETCH(QString, told);
    const QString prefix = box->keyUrlPrefix();
    TAVO_SERVER livingRoom;
    livingRoom.device.friendlyName = QStringLiteral("Living Room");
    livingRoom.host = QStringLiteral("127.0.0.1");
    livingRoom.tavoStreamer.rcuPort = QString::number(box->port());
    TAVO_mgr_mainManager registry(nullptr);
    registry.addServer(livingRoom);
    TAVO_mgr_keyFailures failures(&registry);
    connect(sender, &TAVO_mgr_httpRequest::commandFailed, &failures, &TAVO_mgr_keyFailures::failed);
    connect(sender, &TAVO_mgr_httpRequest::commandAnswered, &failures, &TAVO_mgr_keyFailures::answered);
    QSignalSpy reports(&failures, &TAVO_mgr_keyFailures::report);
    QSignalSpy failed(sender, &TAVO_mgr_httpRequest::commandFailed);
    sender->setTimeout(200);
    box->setSilent(QStringLiteral("SLEEP"));
    if (!boxListens)
        delete std::exchange(box, nullptr);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Key command (timed out|failed)")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Key command (timed out|failed)")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Key command (timed out|failed)")));
    for (int press = 0; press < 3; ++press) {
        QUrl url(prefix + QStringLiteral("SLEEP"));
        sender->httpRequest(&url);
    }
    QVERIFY(QTest::qWaitFor([&] { return failed.size() == 3; }, 10000));
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.at(0).at(0).toString(), told);
    failures.answered();
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Key command (timed out|failed)")));
    QUrl url(prefix + QStringLiteral("SLEEP"));
    sender->httpRequest(&url);
    QTRY_COMPARE(reports.size(), 2);
}

QTEST_MAIN(tst_httpRequest)
#include "tst_httpRequest.moc"

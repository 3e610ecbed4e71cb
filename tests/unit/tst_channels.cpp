// Channel lists: their store, the M3U playlists they are exchanged in, and the tuner that sends
// a channel's keys through the remote panel's buttons to a simulated box.

#include "TAVO_mgr_channelList.h"
#include "TAVO_mgr_playlist.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_ui_channelDialog.h"
#include "TAVO_ui_channelEntry.h"
#include "TAVO_ui_channelTuner.h"
#include "TAVO_ui_controller.h"

#include <QKeyEvent>

#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString udn = QStringLiteral("5f1c0e6a-channels-box");
const QString boxAddress = QStringLiteral("127.0.0.2");

TAVO_mgr_channelList twoChannels()
{
    TAVO_mgr_channelList list;
    list.confirmKey = QStringLiteral("OK");
    list.pauseMs = 250;
    list.channels = {{QStringLiteral("BBC One"), QStringLiteral("101"), QStringLiteral("/logos/bbc1.png"),
                      QStringLiteral("News"), {}},
                     {QStringLiteral("Films \"24\", Ünïcode"), QStringLiteral("7"), {}, {},
                      {QStringLiteral("MENU"), QStringLiteral("OK")}}};
    return list;
}

QString entryAtTheBox(const TAVO_mgr_channel &)
{
    return QStringLiteral("http://box/");
}

// Loads into `panel` a remote of one controller with these keys, for the box `server` names.
bool loadRemote(TAVO_ui_controller &panel, TAVO_SERVER &server, const QTemporaryDir &folder, const QByteArray &keys)
{
    QString path = folder.filePath(QStringLiteral("remote.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("<RCU version=\"1.0\"><totalAmount>1</totalAmount><defaultId>1</defaultId><remoteController><id>1</id>"
               "<name>SetTopBox</name><supportKeys>" + keys + "</supportKeys></remoteController></RCU>");
    file.close();
    panel.setCurrentServer(&server);
    return panel.setXmlPath(&path);
}

// The keys that reach the picture itself, as their text.
class KeyWitness : public QWidget
{
public:
    QString pressed;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        pressed += event->key() == Qt::Key_Return ? QStringLiteral("\n") : event->text();
    }
};

} // namespace

class tst_channels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void listSurvivesSavingAndLoading();
    void keysComeFromTheDigitsAndTheConfirmingKey();
    void playlistRoundTrip();
    void exportedEntriesRecordTheirChannel();
    void hostilePlaylistIsRefusedLineByLine_data();
    void hostilePlaylistIsRefusedLineByLine();
    void failedImportKeepsTheOldList();
    void failedImportInTheDialogKeepsItsTable();
    void tunerSendsTheKeysPacedToTheBox();
    void tunerRefusesKeysTheRemoteLacks();
    void typedDigitsMakeAChannelNumber_data();
    void typedDigitsMakeAChannelNumber();
};

void tst_channels::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(TAVO_mgr_channelList::filePath(udn));
}

void tst_channels::listSurvivesSavingAndLoading()
{
    const TAVO_mgr_channelList saved = twoChannels();
    QString error;
    QVERIFY2(saved.save(udn, &error), qPrintable(error));
    const TAVO_mgr_channelList loaded = TAVO_mgr_channelList::load(udn);
    QCOMPARE(loaded.channels, saved.channels);
    QCOMPARE(loaded.confirmKey, saved.confirmKey);
    QCOMPARE(loaded.pauseMs, saved.pauseMs);
    QVERIFY(TAVO_mgr_channelList::load(QStringLiteral("another-box")).channels.isEmpty());
}

void tst_channels::keysComeFromTheDigitsAndTheConfirmingKey()
{
    TAVO_mgr_channelList list = twoChannels();
    QCOMPARE(list.keysFor(list.channels.at(0)), QStringList({"NUM_1", "NUM_0", "NUM_1", "OK"}));
    QCOMPARE(list.keysFor(list.channels.at(1)), QStringList({"MENU", "OK"}));
    list.confirmKey.clear();
    QCOMPARE(list.keysFor(list.channels.at(0)), QStringList({"NUM_1", "NUM_0", "NUM_1"}));
}

void tst_channels::playlistRoundTrip()
{
    const QList<TAVO_mgr_channel> channels = twoChannels().channels;
    QStringList errors;
    const QList<TAVO_mgr_channel> read
        = TAVO_mgr_playlist::read(TAVO_mgr_playlist::write(channels, entryAtTheBox), &errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    QCOMPARE(read.size(), 2);
    QCOMPARE(read.at(0), channels.at(0));
    // The format cannot carry a quote inside an attribute; the name keeps everything else.
    QCOMPARE(read.at(1).name, QStringLiteral("Films '24', Ünïcode"));
    QCOMPARE(read.at(1).keys, channels.at(1).keys);
}

// A TV server imports the exported list: each entry is the command that tunes the box to the
// channel and writes its stream to standard output, parted at spaces as the server parts it.
void tst_channels::exportedEntriesRecordTheirChannel()
{
    const QByteArray written = TAVO_mgr_playlist::write(
        twoChannels().channels, TAVO_mgr_playlist::recordingCommand(QStringLiteral("/usr/bin/tavo-record"),
                                                                    QStringLiteral("a3c2d1e0-0000-4000-8000-00000000c400")));
    const QStringList entries = QString::fromUtf8(written).split(QLatin1Char('\n')).filter(QStringLiteral("pipe://"));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).split(QLatin1Char(' ')),
             QStringList({"pipe:///usr/bin/tavo-record", "--box", "a3c2d1e0-0000-4000-8000-00000000c400", "--channel",
                          twoChannels().channels.at(0).number, "--output", "-"}));
}

void tst_channels::hostilePlaylistIsRefusedLineByLine_data()
{
    QTest::addColumn<QByteArray>("playlist");
    QTest::addColumn<QString>("firstError");
    const auto row = [](const char *name, const QByteArray &playlist, const char *firstError) {
        QTest::newRow(name) << playlist << QString::fromUtf8(firstError);
    };
    const QByteArray ok = "#EXTINF:-1 tvg-chno=\"1\",One\nhttp://a/\n";
    row("empty", QByteArray(), "Line 1: the playlist is empty");
    row("no header", ok, "Line 1: a playlist starts with #EXTM3U");
    row("no number", QByteArray("#EXTM3U\n#EXTINF:-1,One\nhttp://a/\n"), "Line 2: tvg-chno must be a number of 1 to 6 digits, not \"\"");
    row("number not digits", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1; rm\",One\nx\n"), "Line 2: tvg-chno must be a number of 1 to 6 digits, not \"1; rm\"");
    row("unclosed quote", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1,One\nx\n"), "Line 2: #EXTINF has no comma before the channel's name");
    row("garbage attribute", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1\" <b>,One\nx\n"), "Line 2: the attributes are not name=\"value\" pairs from \" <b>\" on");
    row("no duration", QByteArray("#EXTM3U\n#EXTINF:tvg-chno=\"1\",One\nx\n"), "Line 2: #EXTINF does not start with a duration");
    row("no name", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1\",\nx\n"), "Line 2: the channel has no name");
    row("key into the URL", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1\" tavo-keys=\"OK&id=2\",A\nx\n"), "Line 2: tavo-keys names no key of a remote: \"OK&id=2\"");
    row("twice the number", "#EXTM3U\n" + ok + ok, "Line 4: channel number 1 is already given on line 2");
    row("URL missing", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1\",One\n"), "Line 2: #EXTINF is not followed by the entry's URL");
    row("URL alone", QByteArray("#EXTM3U\nhttp://a/\n"), "Line 2: a URL without an #EXTINF line before it");
    row("control character", "#EXTM3U\n#EXTINF:-1 tvg-chno=\"1\",O\x01ne\nx\n", "Line 2: holds control characters or is not UTF-8");
    row("not UTF-8", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1\",\xff\xfe\nx\n"), "Line 2: holds control characters or is not UTF-8");
    row("huge line", "#EXTM3U\n#EXTINF:-1 tvg-chno=\"1\"," + QByteArray(5000, 'A') + "\nx\n", "Line 2: longer than 4096 characters");
}

void tst_channels::hostilePlaylistIsRefusedLineByLine()
{
    QFETCH(QByteArray, playlist);
    QFETCH(QString, firstError);
    QStringList errors;
    QVERIFY(TAVO_mgr_playlist::read(playlist, &errors).isEmpty());
    QVERIFY(!errors.isEmpty());
    QCOMPARE(errors.first(), firstError);
}

void tst_channels::failedImportKeepsTheOldList()
{
    QVERIFY(twoChannels().save(udn));
    QStringList errors;
    TAVO_mgr_channelList list = TAVO_mgr_channelList::load(udn);
    QVERIFY(!list.importPlaylist(QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"5\",Five\nx\n#EXTINF:-1,Bad\nx\n"),
                                 &errors));
    QCOMPARE(errors, QStringList({"Line 4: tvg-chno must be a number of 1 to 6 digits, not \"\""}));
    QCOMPARE(list.channels, twoChannels().channels);
}

void tst_channels::failedImportInTheDialogKeepsItsTable()
{
    TAVO_ui_channelDialog dialog(twoChannels(), QStringLiteral("a3c2d1e0-0000-4000-8000-00000000c400"), nullptr);
    TAVO_test_messageBoxes boxes;
    QVERIFY(!dialog.importPlaylist("#EXTM3U\n#EXTINF:-1 tvg-chno=\"x\",Bad\nhttp://a/\n"));
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen.first().informativeText, QStringLiteral("Line 2: tvg-chno must be a number of 1 to 6 digits, not \"x\""));
    QCOMPARE(dialog.list().channels, twoChannels().channels);
    QVERIFY(dialog.importPlaylist(TAVO_mgr_playlist::write({twoChannels().channels.at(0)}, entryAtTheBox)));
    QCOMPARE(dialog.list().channels, QList<TAVO_mgr_channel>{twoChannels().channels.at(0)});
}

void tst_channels::tunerSendsTheKeysPacedToTheBox()
{
    const QString uuid = QStringLiteral("a3c2d1e0-0000-4000-8000-00000000c401");
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(
        {{"uuid", uuid},
         {"address", boxAddress},
         {"channelConfirmKey", "OK"},
         {"channels", QVariantMap{{"101", "BBC One"}}},
         {"controllers", QVariantList{QVariantMap{{"id", "1"}, {"name", "SetTopBox"},
                                                  {"supportKeys", "NUM_0,NUM_1,NUM_2,NUM_7,OK,MENU"}}}}}));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    TAVO_SERVER server;
    server.host = boxAddress;
    server.tavoStreamer.rcuPort = QStringLiteral("8090");
    TAVO_ui_controller panel;
    QVERIFY(loadRemote(panel, server, folder, "NUM_0,NUM_1,NUM_2,NUM_7,OK,MENU"));
    TAVO_ui_channelTuner tuner(&panel, [] { return true; });

    const int pauseMs = 300;
    const TAVO_mgr_channelList list = twoChannels();
    QSignalSpy tuned(&tuner, &TAVO_ui_channelTuner::tuned);
    QCOMPARE(tuner.tune(list.keysFor(list.channels.at(0)), pauseMs), QString());
    QVERIFY(tuned.wait());
    QVERIFY(sim.waitForRequest(uuid, "key=OK"));
    const QList<TAVO_test_boxSim::Request> requests = sim.timedRequests(uuid);
    QStringList keys;
    for (const TAVO_test_boxSim::Request &request : requests)
        keys << request.line.section(QStringLiteral("key="), 1).section(' ', 0, 0);
    QCOMPARE(keys, QStringList({"NUM_1", "NUM_0", "NUM_1", "OK"}));
    for (int index = 1; index < requests.size(); ++index)
        // Half the pause: a busy machine may delay one command and bring it nearer to the next.
        QVERIFY2(requests.at(index).receivedAt - requests.at(index - 1).receivedAt >= pauseMs / 2000.0,
                 qPrintable(requests.at(index).line));
    // The simulated receiver tuned the number the keys spelled.
    QVERIFY(QTest::qWaitFor([&] { return sim.tunedChannel(uuid) == QLatin1String("101"); }));
}

void tst_channels::tunerRefusesKeysTheRemoteLacks()
{
    TAVO_ui_controller panel;
    TAVO_ui_channelTuner tuner(&panel, [] { return true; });
    QCOMPARE(tuner.tune({"NUM_1", "NUM_9"}, 0), QStringLiteral("The box's remote control has no key NUM_1."));
    TAVO_ui_channelTuner withoutRemote(&panel, [] { return false; });
    QCOMPARE(withoutRemote.tune({"NUM_1"}, 0), QStringLiteral("The box has no remote control to tune with."));
    QVERIFY(!tuner.isTuning());
}

// Keys as typed: digits, \n for Return, E for the keypad's Enter, m for a key of the window.
void tst_channels::typedDigitsMakeAChannelNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("entered");
    QTest::addColumn<QString>("passedOn");
    QTest::newRow("confirmed by Return") << "101\n" << QStringList{"101"} << "";
    QTest::newRow("confirmed by the keypad's Enter") << "42E" << QStringList{"42"} << "";
    QTest::newRow("after the pause") << "7" << QStringList{"7"} << "";
    QTest::newRow("other keys pass on") << "4m2\n" << QStringList{"42"} << "m";
    QTest::newRow("Return alone stays the remote's OK") << "\n" << QStringList{} << "\n";
    QTest::newRow("a seventh digit starts anew") << "1212129\n" << QStringList{"9"} << "";
}

void tst_channels::typedDigitsMakeAChannelNumber()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, entered);
    QFETCH(QString, passedOn);
    KeyWitness picture;
    TAVO_ui_channelEntry entry;
    entry.setPause(100);
    entry.takeDigitsOf({&picture});
    QSignalSpy numbers(&entry, &TAVO_ui_channelEntry::entered);
    QSignalSpy typing(&entry, &TAVO_ui_channelEntry::typing);
    for (const QChar key : typed) {
        if (key == QLatin1Char('\n'))
            QTest::keyClick(&picture, Qt::Key_Return);
        else if (key == QLatin1Char('E'))
            QTest::keyClick(&picture, Qt::Key_Enter, Qt::KeypadModifier);
        else
            QTest::keyClick(&picture, key.toLatin1());
    }
    if (!entered.isEmpty())
        QVERIFY(numbers.count() == 1 || numbers.wait());
    QCOMPARE(numbers.count(), int(entered.size()));
    if (!entered.isEmpty()) {
        QCOMPARE(numbers.first().first().toString(), entered.first());
        QCOMPARE(typing.last().first().toString(), entered.first());
    }
    QCOMPARE(picture.pressed, passedOn);
}

QTEST_MAIN(tst_channels)
#include "tst_channels.moc"

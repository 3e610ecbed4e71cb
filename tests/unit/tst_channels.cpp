// Channel lists: their store, the M3U playlists they are exchanged in, and the tuner that sends
// a channel's keys through the remote panel's buttons to a simulated box.

#include "TAVO_mgr_channelList.h"
#include "TAVO_mgr_playlist.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_ui_channelDialog.h"
#include "TAVO_ui_channelDock.h"
#include "TAVO_ui_channelEntry.h"
#include "TAVO_ui_channelSwitcher.h"
#include "TAVO_ui_controller.h"

#include <QKeyEvent>

#include <QFile>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
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
    void channelIsAskedForByNumberOrName_data();
    void channelIsAskedForByNumberOrName();
    void playlistRoundTrip();
    void oneRuleForEveryList();
    void exportedEntriesRecordTheirChannel_data();
    void exportedEntriesRecordTheirChannel();
    void hostilePlaylistIsRefusedLineByLine_data();
    void hostilePlaylistIsRefusedLineByLine();
    void failedImportKeepsTheOldList();
    void failedImportInTheDialogKeepsItsTable();
    void tunerSendsTheKeysPacedToTheBox();
    void tunerRefusesKeysTheRemoteLacks();
    void tuneIsDroppedWhenAnotherBoxIsChosenMeanwhile();
    void listStandsBesideTheWindowOutOfFullScreen();
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

void tst_channels::channelIsAskedForByNumberOrName_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("firstChannelName");
    QTest::addColumn<QStringList>("keys");
    // What a tuner's route, asking by number alone, gets.
    QTest::addColumn<QStringList>("keysByNumber");
    const QStringList bbcOne{"NUM_1", "NUM_0", "NUM_1", "OK"};
    QTest::newRow("number") << "101" << "BBC One" << bbcOne << bbcOne;
    QTest::newRow("name in another case") << "bbc ONE" << "BBC One" << bbcOne << QStringList{};
    QTest::newRow("name of a channel with its own keys") << "FILMS \"24\", üNÏCODE" << "BBC One" << QStringList{"MENU", "OK"}
                                                         << QStringList{};
    QTest::newRow("number not in the list") << "42" << "BBC One" << QStringList{"NUM_4", "NUM_2", "OK"}
                                            << QStringList{"NUM_4", "NUM_2", "OK"};
    QTest::newRow("name not in the list") << "BBC Two" << "BBC One" << QStringList{} << QStringList{};
    QTest::newRow("number of seven digits") << "1234567" << "BBC One" << QStringList{} << QStringList{};
    QTest::newRow("number over a name listed before it") << "7" << "7" << QStringList{"MENU", "OK"}
                                                         << QStringList{"MENU", "OK"};
    QTest::newRow("name that is a number the list lacks") << "42" << "42" << bbcOne << QStringList{"NUM_4", "NUM_2", "OK"};
}

// The rule of the recording command and of every program that tunes by a channel's name.
void tst_channels::channelIsAskedForByNumberOrName()
{
    QFETCH(QString, asked);
    QFETCH(QString, firstChannelName);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, keysByNumber);
    TAVO_mgr_channelList list = twoChannels();
    list.channels[0].name = firstChannelName;

    QCOMPARE(list.keysFor(asked), keys);
    QCOMPARE(list.keysForNumber(asked), keysByNumber);
}

void tst_channels::playlistRoundTrip()
{
    const QList<TAVO_mgr_channel> channels = twoChannels().channels;
    QStringList errors;
    const QByteArray written = TAVO_mgr_playlist::write(channels, entryAtTheBox, &errors);
    const QList<TAVO_mgr_channel> read = TAVO_mgr_playlist::read(written, &errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    QCOMPARE(read.size(), 2);
    QCOMPARE(read.at(0), channels.at(0));
    // The format cannot carry a quote inside an attribute; the name keeps everything else.
    QCOMPARE(read.at(1).name, QStringLiteral("Films '24', Ünïcode"));
    QCOMPARE(read.at(1).keys, channels.at(1).keys);
    // As saved on Windows, with CRLF line ends.
    QCOMPARE(TAVO_mgr_playlist::read(QByteArray(written).replace("\n", "\r\n"), &errors), read);
    QCOMPARE(errors, QStringList());
}

// Twice the number is refused in the box's file as in the editor (and in a playlist, below).
void tst_channels::oneRuleForEveryList()
{
    TAVO_mgr_channelList twice = twoChannels();
    twice.channels << twice.channels.first();
    QVERIFY(twice.save(udn));
    QString error;
    QVERIFY(TAVO_mgr_channelList::load(udn, &error).channels.isEmpty());
    QVERIFY2(error.endsWith(QStringLiteral("Channel 3: channel number 101 is already given on channel 1")), qPrintable(error));
    TAVO_ui_channelDialog dialog(twice, udn, nullptr);
    TAVO_test_messageBoxes boxes;
    static_cast<QDialog &>(dialog).accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen.first().text, QStringLiteral("Row 3: channel number 101 is already given on row 1"));
}

void tst_channels::exportedEntriesRecordTheirChannel_data()
{
    QTest::addColumn<QString>("recorder");
    QTest::addColumn<QString>("boxUdn");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("entry");  // empty: nothing is exported
    const QString recorder = QStringLiteral("/usr/bin/tavo-record");
    const QString plain = QStringLiteral("a3c2d1e0-0000-4000-8000-00000000c400");
    QTest::newRow("plain") << recorder << plain << "One"
                           << "pipe:///usr/bin/tavo-record --box " + plain + " --keys NUM_1,NUM_0,NUM_1,OK --channel 101 --output -";
    QTest::newRow("UDN with a line feed") << recorder << "uuid:a\npipe:///bin/sh" << "One" << QString();
    QTest::newRow("UDN with spaces and ;") << recorder << "uuid:a b; rm -rf ~" << "One"
                                           << "pipe:///usr/bin/tavo-record --box \"uuid:a b; rm -rf ~\" --keys NUM_1,NUM_0,NUM_1,OK --channel 101 --output -";
    QTest::newRow("UDN with quotes") << recorder << "uuid:a\" --channel \"9" << "One" << QString();
    QTest::newRow("recorder path with a space") << "/opt/TAVO Client/tavo-record" << plain << "One"
                                                << "pipe://\"/opt/TAVO Client/tavo-record\" --box " + plain + " --keys NUM_1,NUM_0,NUM_1,OK --channel 101 --output -";
    QTest::newRow("name with a line feed") << recorder << plain << "One\nhttp://elsewhere/" << QString();
}

// A TV server imports the exported list: each entry is the command that tunes the box to the
// channel and writes its stream to standard output, one argument each whatever the box calls itself.
void tst_channels::exportedEntriesRecordTheirChannel()
{
    QFETCH(QString, recorder);
    QFETCH(QString, boxUdn);
    QFETCH(QString, name);
    QFETCH(QString, entry);
    QStringList faults;
    // The TV server's user has no list: the entry carries the keys, the confirming one too.
    TAVO_mgr_channelList list;
    list.confirmKey = QStringLiteral("OK");
    const QByteArray written = TAVO_mgr_playlist::write({{name, QStringLiteral("101"), {}, {}, {}}},
                                                        TAVO_mgr_playlist::recordingCommand(recorder, boxUdn, list), &faults);
    const QStringList entries = QString::fromUtf8(written).split(QLatin1Char('\n')).filter(QStringLiteral("pipe://"));
    QCOMPARE(entries, entry.isEmpty() ? QStringList() : QStringList{entry});
    QCOMPARE(faults.isEmpty(), !entry.isEmpty());
    QCOMPARE(written.isEmpty(), entry.isEmpty());
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
    row("no number", QByteArray("#EXTM3U\n#EXTINF:-1,One\nhttp://a/\n"), "Line 2: the number must be 1 to 6 digits, not \"\"");
    row("number not digits", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1; rm\",One\nx\n"), "Line 2: the number must be 1 to 6 digits, not \"1; rm\"");
    row("unclosed quote", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1,One\nx\n"), "Line 2: #EXTINF has no comma before the channel's name");
    row("garbage attribute", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1\" <b>,One\nx\n"), "Line 2: the attributes are not name=\"value\" pairs from \" <b>\" on");
    row("no duration", QByteArray("#EXTM3U\n#EXTINF:tvg-chno=\"1\",One\nx\n"), "Line 2: #EXTINF does not start with a duration");
    row("no name", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1\",\nx\n"), "Line 2: the channel has no name");
    row("key into the URL", QByteArray("#EXTM3U\n#EXTINF:-1 tvg-chno=\"1\" tavo-keys=\"OK&id=2\",A\nx\n"), "Line 2: \"OK&id=2\" is no key name of a remote (such as NUM_1 or OK)");
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
    QCOMPARE(errors, QStringList({"Line 4: the number must be 1 to 6 digits, not \"\""}));
    QCOMPARE(list.channels, twoChannels().channels);
}

void tst_channels::failedImportInTheDialogKeepsItsTable()
{
    TAVO_ui_channelDialog dialog(twoChannels(), QStringLiteral("a3c2d1e0-0000-4000-8000-00000000c400"), nullptr);
    TAVO_test_messageBoxes boxes;
    QVERIFY(!dialog.importPlaylist("#EXTM3U\n#EXTINF:-1 tvg-chno=\"x\",Bad\nhttp://a/\n"));
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen.first().informativeText, QStringLiteral("Line 2: the number must be 1 to 6 digits, not \"x\""));
    QCOMPARE(dialog.list().channels, twoChannels().channels);
    // Asked, the playlist's channels are added to the list, each number once, or replace it.
    const TAVO_mgr_channel five{QStringLiteral("Five"), QStringLiteral("5"), {}, {}, {}};
    QStringList faults;
    boxes.answer = QMessageBox::Yes;
    QVERIFY(!dialog.importPlaylist(TAVO_mgr_playlist::write({twoChannels().channels.at(0)}, entryAtTheBox, &faults)));
    QCOMPARE(boxes.seen.last().informativeText, QStringLiteral("Row 3: channel number 101 is already given on row 1"));
    QVERIFY(dialog.importPlaylist(TAVO_mgr_playlist::write({five}, entryAtTheBox, &faults)));
    QCOMPARE(dialog.list().channels.size(), 3);
    QCOMPARE(dialog.list().channels.last(), five);
    boxes.answer = QMessageBox::Discard;
    QVERIFY(dialog.importPlaylist(TAVO_mgr_playlist::write({twoChannels().channels.at(0)}, entryAtTheBox, &faults)));
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
    TAVO_ui_channelSwitcher tuner(&panel, [] { return true; });

    const int pauseMs = 300;
    const TAVO_mgr_channelList list = twoChannels();
    QSignalSpy tuned(&tuner, &TAVO_ui_channelSwitcher::tuned);
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
    TAVO_ui_channelSwitcher tuner(&panel, [] { return true; });
    QCOMPARE(tuner.tune({"NUM_1", "NUM_9"}, 0), QStringLiteral("The box's remote control has no key NUM_1."));
    TAVO_ui_channelSwitcher withoutRemote(&panel, [] { return false; });
    QCOMPARE(withoutRemote.tune({"NUM_1"}, 0), QStringLiteral("The box has no remote control to tune with."));
    QVERIFY(!tuner.isTuning());
}

// A click on another box while the stream starts (the event loop runs) reads that box's list:
// the channel of the first box is not tuned on the second.
void tst_channels::tuneIsDroppedWhenAnotherBoxIsChosenMeanwhile()
{
    QVERIFY(twoChannels().save(udn));
    QMainWindow window;
    QWidget picture;
    TAVO_ui_controller panel;
    bool steered = false;
    TAVO_ui_channelSwitcher tuner(&panel, [&steered] { steered = true; return false; });
    QString chosen = udn;
    QStringList statuses;
    TAVO_ui_channelDock *dock = nullptr;
    dock = new TAVO_ui_channelDock(&window, &picture, &tuner,
                                   {[&chosen] { return chosen; }, [] { return QStringLiteral("Box"); },
                                    [&] { chosen = QStringLiteral("another-box"); dock->followChosenBox(); },
                                    [&statuses](const QString &text) { statuses << text; }});
    QVERIFY(!dock->tune(0));
    QVERIFY(!steered);
    QCOMPARE(statuses, QStringList{"Channel 101  BBC One not tuned: another box was chosen"});
}

// The list stands beside the window, whole on the screen, even where the window stands at the
// screen's right edge; the full-screen picture hides it until full screen ends.
void tst_channels::listStandsBesideTheWindowOutOfFullScreen()
{
    QMainWindow window;
    QWidget picture;
    TAVO_ui_controller panel;
    TAVO_ui_channelSwitcher tuner(&panel, [] { return false; });
    auto *dock = new TAVO_ui_channelDock(&window, &picture, &tuner,
                                         {[] { return udn; }, [] { return QStringLiteral("Box"); }, [] {},
                                          [](const QString &) {}});
    const QRect screen = window.screen()->availableGeometry();
    window.setGeometry(screen.right() - 300, screen.top() + 50, 250, 200);
    window.show();
    dock->show();
    QVERIFY2(screen.contains(dock->frameGeometry()), qPrintable(QDebug::toString(dock->frameGeometry())));
    QVERIFY(!dock->frameGeometry().intersects(window.frameGeometry()));
    window.showFullScreen();
    QTRY_VERIFY(dock->isHidden());
    window.showNormal();
    QTRY_VERIFY(dock->isVisible());
}

// Keys as typed: digits, \n for Return, E for the keypad's Enter, m for a key of the window, _ for
// a wait until half the pause is gone.
void tst_channels::typedDigitsMakeAChannelNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("entered");
    QTest::addColumn<QString>("passedOn");
    QTest::newRow("confirmed by Return") << "101\n" << QStringList{"101"} << "";
    QTest::newRow("confirmed by the keypad's Enter") << "42E" << QStringList{"42"} << "";
    QTest::newRow("after the pause") << "7" << QStringList{"7"} << "";
    QTest::newRow("the pause runs from the last digit") << "1_2_3" << QStringList{"123"} << "";
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
    // Long enough that a busy machine does not let it pass between two checks of a wait.
    const int pauseMs = 1000;
    entry.setPause(pauseMs);
    entry.takeDigitsOf({&picture});
    const QTimer *pause = entry.findChild<QTimer *>();
    QVERIFY(pause);
    QSignalSpy numbers(&entry, &TAVO_ui_channelEntry::entered);
    QSignalSpy typing(&entry, &TAVO_ui_channelEntry::typing);
    for (const QChar key : typed) {
        if (key == QLatin1Char('\n')) {
            QTest::keyClick(&picture, Qt::Key_Return);
        } else if (key == QLatin1Char('E')) {
            QTest::keyClick(&picture, Qt::Key_Enter, Qt::KeypadModifier);
        } else if (key == QLatin1Char('_')) {
            QTRY_VERIFY(pause->isActive() && pause->remainingTime() < pauseMs / 2);
        } else {
            QTest::keyClick(&picture, key.toLatin1());
            if (key.isDigit())
                QVERIFY2(pause->remainingTime() > pauseMs / 2, "a digit starts the pause anew");
        }
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

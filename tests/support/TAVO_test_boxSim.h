#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

// Runs the box simulator (build/bin/tavo_boxsim) for one test: writes the config into a
// temporary folder, starts the program there and reads back what each box received.
// The simulator must run inside the private network (scripts/netns-run).
//
//     TAVO_test_boxSim sim(TAVO_test_boxSim::box({{"uuid", uuid}, {"address", "127.0.0.2"},
//                                                 {"friendlyName", "Living Room"}}));
//     QVERIFY(sim.start());
//     ... QVERIFY(sim.waitForRequest(uuid, "key=PWR")); sim.requests(uuid) ...
class TAVO_test_boxSim
{
public:
    explicit TAVO_test_boxSim(const QByteArray &configJson);
    ~TAVO_test_boxSim();

    // True once the simulator printed "ready": every box announced and listening.
    bool start(int timeoutMs = 15000);
    // SIGTERM and wait for the exit; every box says UPnP byebye first.
    void stop();
    // SIGKILL: every box vanishes at once, without byebye, as on a power cut.
    void kill();
    // Every box says byebye but keeps serving, and later announces itself again.
    void sayByebye();
    void announceAgain();
    bool isRunning() const;
    qint64 processId() const;

    struct Request
    {
        double receivedAt; // seconds since the epoch, to the microsecond
        QString line;      // "<port> <request line>"
    };
    // The lines "<port> <request line>" the box received, in order of arrival.
    QStringList requests(const QString &uuid) const;
    // The same with the time each line arrived.
    QList<Request> timedRequests(const QString &uuid) const;
    // Waits until a request line containing `contains` arrived at the box.
    bool waitForRequest(const QString &uuid, const QString &contains, int timeoutMs = 5000) const;

    QString logDir() const;
    // The channel the receiver behind the box is tuned to, empty before its first tune.
    QString tunedChannel(const QString &uuid) const;

    // A whole config with one box made of `fields` (keys as in the config file, see
    // tools/boxsim/README.md), ready for the constructor.
    static QByteArray box(const QVariantMap &fields);
    // A whole config with several boxes.
    static QByteArray boxes(const QList<QVariantMap> &boxFields);

private:
    QTemporaryDir m_folder;
    QProcess m_process;
};

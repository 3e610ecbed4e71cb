#include "TAVO_test_boxSim.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <algorithm>
#include <csignal>

#include <sys/prctl.h>

TAVO_test_boxSim::TAVO_test_boxSim(const QByteArray &configJson)
{
    QDir(m_folder.path()).mkpath(QStringLiteral("logs"));
    QFile config(m_folder.filePath(QStringLiteral("config.json")));
    if (config.open(QIODevice::WriteOnly))
        config.write(configJson);
    m_process.setProgram(QStringLiteral(TAVO_BIN_DIR "/tavo_boxsim"));
    m_process.setArguments({QStringLiteral("--config"), config.fileName(),
                            QStringLiteral("--log-dir"), logDir()});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test killed by its time limit must not leave its boxes announcing: they would answer
    // every later test's searches. The simulator gets SIGTERM when the test process dies.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

TAVO_test_boxSim::~TAVO_test_boxSim()
{
    stop();
}

// The waits let the event loop run: a client in the same process keeps working while its boxes
// come and go, and a test measuring the client's responsiveness measures the client alone.
bool TAVO_test_boxSim::start(int timeoutMs)
{
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    QByteArray output;
    const auto readyOrGone = [&] {
        output += m_process.readAllStandardOutput();
        return output.contains("ready\n") || !isRunning();
    };
    return QTest::qWaitFor(readyOrGone, timeoutMs) && output.contains("ready\n");
}

void TAVO_test_boxSim::stop()
{
    if (!isRunning())
        return;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!QTest::qWaitFor([this] { return !isRunning(); }, 10000))
        kill();
}

void TAVO_test_boxSim::kill()
{
    if (!isRunning())
        return;
    m_process.kill();
    if (!QTest::qWaitFor([this] { return !isRunning(); }, 10000))
        qWarning("tavo_boxsim outlived SIGKILL");
}

void TAVO_test_boxSim::sayByebye()
{
    if (isRunning())
        ::kill(pid_t(m_process.processId()), SIGUSR1);
}

void TAVO_test_boxSim::announceAgain()
{
    if (isRunning())
        ::kill(pid_t(m_process.processId()), SIGUSR2);
}

qint64 TAVO_test_boxSim::processId() const
{
    return m_process.processId();
}

bool TAVO_test_boxSim::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QStringList TAVO_test_boxSim::requests(const QString &uuid) const
{
    QStringList lines;
    for (const Request &request : timedRequests(uuid))
        lines << request.line;
    return lines;
}

QList<TAVO_test_boxSim::Request> TAVO_test_boxSim::timedRequests(const QString &uuid) const
{
    QFile log(QDir(logDir()).filePath(uuid + QStringLiteral(".log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QList<Request> requests;
    for (const QString &line : QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        requests.append({line.section(QLatin1Char(' '), 0, 0).toDouble(), line.section(QLatin1Char(' '), 1)});
    return requests;
}

bool TAVO_test_boxSim::waitForRequest(const QString &uuid, const QString &contains, int timeoutMs) const
{
    const auto arrived = [&] {
        const QStringList lines = requests(uuid);
        return std::any_of(lines.cbegin(), lines.cend(),
                           [&](const QString &line) { return line.contains(contains); });
    };
    return QTest::qWaitFor(arrived, timeoutMs);
}

QString TAVO_test_boxSim::logDir() const
{
    return m_folder.filePath(QStringLiteral("logs"));
}

QByteArray TAVO_test_boxSim::box(const QVariantMap &fields)
{
    return boxes({fields});
}

QByteArray TAVO_test_boxSim::boxes(const QList<QVariantMap> &boxFields)
{
    QJsonArray list;
    for (const QVariantMap &fields : boxFields)
        list.append(QJsonObject::fromVariantMap(fields));
    return QJsonDocument(QJsonObject{{QStringLiteral("boxes"), list}}).toJson();
}

QString TAVO_test_boxSim::tunedChannel(const QString &uuid) const
{
    QFile file(QDir(logDir()).filePath(uuid + QStringLiteral(".channel")));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll()).trimmed();
}

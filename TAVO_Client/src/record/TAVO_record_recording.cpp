#include "TAVO_record_recording.h"

#include "TAVO_mgr_boxSearch.h"
#include "TAVO_mgr_channelKeys.h"
#include "TAVO_mgr_channelList.h"
#include "TAVO_mgr_lineText.h"
#include "TAVO_mgr_savedFiles.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Timers count in int milliseconds: a longer recording is timed in days.
constexpr qint64 longestTimerMs = 24 * 3600 * 1000;
} // namespace

TAVO_record_recording::TAVO_record_recording(const TAVO_record_options &options, QObject *parent)
    : QObject(parent)
    , options(options)
    , terminal(::isatty(STDERR_FILENO))
{
    endTimer.setSingleShot(true);
    endTimer.setTimerType(Qt::PreciseTimer);
    connect(&endTimer, &QTimer::timeout, this, [this] {
        if (endsAt.hasExpired())
            finish(TAVO_record_exitStatus::Recorded);
        else
            armEndTimer();
    });
    connect(&progressTimer, &QTimer::timeout, this, &TAVO_record_recording::showProgress);
}

TAVO_record_recording::~TAVO_record_recording()
{
    if (outputFd > STDERR_FILENO)
        ::close(outputFd);
}

// --until bounds everything from the start: a search or a tuning that hangs ends at the end
// time as a recording that got nothing.
void TAVO_record_recording::start()
{
    if (options.endAt.isValid()) {
        endsAt = QDeadlineTimer(std::max<qint64>(0, QDateTime::currentDateTime().msecsTo(options.endAt)), Qt::PreciseTimer);
        armEndTimer();
    }
    auto *search = new TAVO_mgr_boxSearch(options.box, boxSearchLimitMs, this);
    connect(search, &TAVO_mgr_boxSearch::progress, this, &TAVO_record_recording::say);
    connect(search, &TAVO_mgr_boxSearch::found, this, &TAVO_record_recording::boxFound);
    connect(search, &TAVO_mgr_boxSearch::notFound, this, [this] {
        const QString what = options.box.kind == TAVO_mgr_boxName::Kind::Description
                                 ? QStringLiteral("no streamer box's description was read at %1 within %2 s")
                                 : QStringLiteral("no box called %1 answered within %2 s");
        finish(TAVO_record_exitStatus::BoxNotFound, what.arg(options.box.text).arg(boxSearchLimitMs / 1000));
    });
    search->start();
}

void TAVO_record_recording::stop()
{
    finish(TAVO_record_exitStatus::Recorded);
}

void TAVO_record_recording::boxFound(const TAVO_SERVER &found)
{
    if (finished)
        return;
    server = found;
    say(QStringLiteral("Found %1 at %2").arg(server.device.friendlyName, server.host));
    lock = std::make_unique<TAVO_mgr_boxLock>(server.device.UDN);
    QString problem;
    switch (lock->acquire(&problem)) {
    case TAVO_mgr_boxLock::Outcome::Taken:
        break;
    case TAVO_mgr_boxLock::Outcome::Busy:
        finish(TAVO_record_exitStatus::BoxBusy, problem);
        return;
    case TAVO_mgr_boxLock::Outcome::Unavailable:
        finish(TAVO_record_exitStatus::LockUnavailable, problem);
        return;
    }
    if (options.channel.isEmpty() && options.keys.isEmpty()) {
        tuned();
        return;
    }
    say(options.channel.isEmpty() ? QStringLiteral("Tuning by the keys %1…").arg(options.keys.join(QLatin1Char(',')))
                                  : QStringLiteral("Tuning to channel %1…").arg(options.channel));
    auto *channel = new TAVO_mgr_channelKeys(server, this);
    connect(channel, &TAVO_mgr_channelKeys::tuned, this, [this] {
        noteDigitsAlone();
        tuned();
    });
    connect(channel, &TAVO_mgr_channelKeys::refused, this,
            [this](const QString &reason) { finish(TAVO_record_exitStatus::ChannelRefused, reason); });
    if (options.keys.isEmpty())
        channel->tune(options.channel, TAVO_mgr_channelKeys::Asked::ByNumberOrName);
    else
        channel->tuneByKeys(options.keys);
}

void TAVO_record_recording::tuned()
{
    if (finished || !openOutput())
        return;
    if (terminal)
        progressTimer.start(1000);
    say(QStringLiteral("Connecting to %1…").arg(server.device.friendlyName));
    tap = TAVO_mgr_boxStream::of(server)->join(this);
    connect(tap, &TAVO_mgr_streamTap::packets, this, &TAVO_record_recording::packetsArrived);
    connect(tap, &TAVO_mgr_streamTap::ended, this, &TAVO_record_recording::streamEnded);
}

bool TAVO_record_recording::openOutput()
{
    if (options.output == QLatin1String("-")) {
        outputFd = STDOUT_FILENO;
    } else {
        QString problem;
        outputPath = options.output.isEmpty()
                         ? TAVO_mgr_savedFiles::createNew(QStandardPaths::MoviesLocation, server.device.friendlyName,
                                                          QStringLiteral("ts"), &problem)
                         : options.output;
        if (!outputPath.isEmpty())
            outputFd = ::open(QFile::encodeName(outputPath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (outputFd < 0) {
            if (problem.isEmpty())
                problem = QStringLiteral("cannot write %1: %2").arg(outputPath, QString::fromLocal8Bit(std::strerror(errno)));
            finish(TAVO_record_exitStatus::OutputUnwritable, problem);
            return false;
        }
        say(QStringLiteral("Recording to %1").arg(outputPath));
    }
    writeWithoutBlocking();
    writer = std::make_unique<TAVO_mgr_packetWriter>(outputFd);
    return true;
}

// A pipe or socket whose reader stops taking the stream must not hold the command: a stop
// signal is answered at once, whatever the reader does.
void TAVO_record_recording::writeWithoutBlocking()
{
    struct stat status {};
    if (::fstat(outputFd, &status) != 0 || !(S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)))
        return;
    const int flags = ::fcntl(outputFd, F_GETFL);
    if (flags < 0 || ::fcntl(outputFd, F_SETFL, flags | O_NONBLOCK) != 0)
        return;
    outputFlags = flags;
    readerWaits = std::make_unique<QSocketNotifier>(outputFd, QSocketNotifier::Write);
    readerWaits->setEnabled(false);
    connect(readerWaits.get(), &QSocketNotifier::activated, this, &TAVO_record_recording::readerReady);
}

void TAVO_record_recording::readerReady()
{
    readerWaits->setEnabled(false);
    // What the connection kept meanwhile is read once the reader has taken the rest.
    if (handle(writer->flush()) && !writer->isWaiting() && tap)
        tap->hold(false);
}

// --for counts from the first byte in the output, not from the start of the search.
void TAVO_record_recording::firstBytesWritten()
{
    elapsed.start();
    if (options.forMs > 0) {
        endsAt = QDeadlineTimer(options.forMs, Qt::PreciseTimer);
        armEndTimer();
    }
}

void TAVO_record_recording::armEndTimer()
{
    endTimer.start(int(std::min(endsAt.remainingTime(), longestTimerMs)));
}

void TAVO_record_recording::packetsArrived(const QByteArray &packets)
{
    if (finished)
        return;
    if (!attemptPlays) {
        attemptPlays = true;
        everPlayed = true;
        // From now on a lost stream is asked for again until the recording ends.
        tap->setKeepAsking(true);
        say(QStringLiteral("Playing %1").arg(server.device.friendlyName));
    }
    handle(writer->add(packets));
}

// False when the result ends the recording.
bool TAVO_record_recording::handle(TAVO_mgr_packetWriter::Result result)
{
    switch (result) {
    case TAVO_mgr_packetWriter::Result::Written:
        break;
    case TAVO_mgr_packetWriter::Result::Waiting:
        readerWaits->setEnabled(true);
        tap->hold(true);
        break;
    case TAVO_mgr_packetWriter::Result::ReaderGone:
        finish(TAVO_record_exitStatus::Recorded);
        return false;
    case TAVO_mgr_packetWriter::Result::Full:
        finish(TAVO_record_exitStatus::OutputFull, QStringLiteral("cannot write more: %1").arg(writer->problem()));
        return false;
    case TAVO_mgr_packetWriter::Result::Failed:
        finish(TAVO_record_exitStatus::OutputUnwritable, QStringLiteral("cannot write: %1").arg(writer->problem()));
        return false;
    }
    if (!elapsed.isValid() && writer->bytesWritten() > 0)
        firstBytesWritten();
    return true;
}

void TAVO_record_recording::streamEnded(const TAVO_mgr_streamFailure &failure)
{
    if (finished)
        return;
    if (everPlayed) {
        // The file goes on from the next entry point of the stream asked for again.
        attemptPlays = false;
        writer->restart();
        say(QStringLiteral("Lost the stream of %1; trying again in %2 s…")
                .arg(server.device.friendlyName)
                .arg((tap->askingAgainInMs() + 999) / 1000));
        return;
    }
    switch (failure.kind) {
    case TAVO_mgr_streamFailure::Kind::KeyNotPinned:
        finish(TAVO_record_exitStatus::UnpinnedKey,
               QStringLiteral("%1 presented a key other than the one pinned in ~/.gnutls/known_hosts")
                   .arg(server.device.friendlyName));
        break;
    case TAVO_mgr_streamFailure::Kind::NotTransportStream:
        finish(TAVO_record_exitStatus::NotTransportStream,
               QStringLiteral("%1: %2").arg(server.device.friendlyName, failure.reason));
        break;
    default:
        finish(TAVO_record_exitStatus::StreamRefused,
               QStringLiteral("%1 did not give its stream: %2").arg(server.device.friendlyName, failure.reason));
        break;
    }
}

void TAVO_record_recording::showProgress()
{
    if (!writer)
        return;
    std::fprintf(stderr, "\rRecording %s: %s, %s   ", qPrintable(TAVO_mgr_lineText::oneLine(server.device.friendlyName)),
                 qPrintable(TAVO_mgr_savedFiles::durationText(elapsed.isValid() ? elapsed.elapsed() : 0)),
                 qPrintable(TAVO_mgr_savedFiles::sizeText(writer->bytesWritten())));
    std::fflush(stderr);
}

// A channel the box's list does not have was typed as its digits, with the list's confirming key
// when there is a list that names one: a receiver that waits for that key stays where it was. The
// command says so whether or not it is verbose (a TV server's user often has no list at all).
void TAVO_record_recording::noteDigitsAlone()
{
    if (!options.keys.isEmpty())
        return;
    QString fault;
    const TAVO_mgr_channelList list = TAVO_mgr_channelList::load(server.device.UDN, &fault);
    if (list.byNumber(options.channel) || !TAVO_mgr_channelList::isChannelNumber(options.channel))
        return;
    const QString how = list.confirmKey.isEmpty() ? QStringLiteral("by its digits alone, without a confirming key")
                                                  : QStringLiteral("by its digits and %1").arg(list.confirmKey);
    std::fprintf(stderr, "tavo-record: channel %s is not in the channel list of %s here: it was tuned %s (give its keys with --keys)\n",
                 qPrintable(options.channel), qPrintable(TAVO_mgr_lineText::oneLine(server.device.friendlyName)),
                 qPrintable(how));
}

void TAVO_record_recording::say(const QString &text)
{
    if (!options.verbose)
        return;
    std::fprintf(stderr, "%s%s\n", terminal && progressTimer.isActive() ? "\n" : "",
                 qPrintable(TAVO_mgr_lineText::oneLine(text)));
}

void TAVO_record_recording::finish(TAVO_record_exitStatus status, QString reason)
{
    if (finished)
        return;
    finished = true;
    if (status == TAVO_record_exitStatus::Recorded && (!writer || writer->bytesWritten() == 0)) {
        status = TAVO_record_exitStatus::NothingRecorded;
        reason = QStringLiteral("stopped before anything was recorded");
    }
    endTimer.stop();
    if (progressTimer.isActive()) {
        progressTimer.stop();
        showProgress();
        std::fputc('\n', stderr);
    }
    delete tap;
    if (writer)
        writer->trimToWholePictures();
    if (!reason.isEmpty())
        std::fprintf(stderr, "tavo-record: %s\n", qPrintable(TAVO_mgr_lineText::oneLine(reason)));
    readerWaits.reset();
    // Standard output is given back as it came: a shell's terminal or pipe does not stay non-blocking.
    if (outputFlags >= 0)
        ::fcntl(outputFd, F_SETFL, outputFlags);
    if (outputFd > STDERR_FILENO && ::close(outputFd) != 0 && status == TAVO_record_exitStatus::Recorded) {
        std::fprintf(stderr, "tavo-record: cannot write %s: %s\n", qPrintable(TAVO_mgr_lineText::oneLine(outputPath)),
                     std::strerror(errno));
        status = TAVO_record_exitStatus::OutputUnwritable;
    }
    // A file the command named itself is said, once it is whole.
    if (terminal && options.output.isEmpty() && !outputPath.isEmpty())
        std::fprintf(stderr, "tavo-record: the recording is in %s\n", qPrintable(TAVO_mgr_lineText::oneLine(outputPath)));
    outputFd = -1;
    Q_EMIT ended(static_cast<int>(status));
}

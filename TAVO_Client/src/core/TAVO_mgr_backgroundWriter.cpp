#include "TAVO_mgr_backgroundWriter.h"

#include "TAVO_mgr_packetWriter.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

TAVO_mgr_backgroundWriter::TAVO_mgr_backgroundWriter(int fd, QObject *parent)
    : QObject(parent)
    , worker(new QObject)
    , writer(new TAVO_mgr_packetWriter(fd))
    , fd(fd)
{
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    thread.setObjectName(QStringLiteral("recording writer"));
    thread.start();
}

TAVO_mgr_backgroundWriter::~TAVO_mgr_backgroundWriter()
{
    finish();
}

void TAVO_mgr_backgroundWriter::add(const QByteArray &packets)
{
    if (finished || broken)
        return;
    if (queued + packets.size() > queueLimitBytes) {
        broken = true;
        Q_EMIT failed(QStringLiteral("the disk takes the recording more slowly than it comes"));
        return;
    }
    queued += packets.size();
    QMetaObject::invokeMethod(worker, [this, packets] { writeOnThread(packets); }, Qt::QueuedConnection);
}

void TAVO_mgr_backgroundWriter::writeOnThread(const QByteArray &packets)
{
    queued -= packets.size();
    if (broken)
        return;
    const TAVO_mgr_packetWriter::Result result = writer->add(packets);
    written = writer->bytesWritten();
    if (result == TAVO_mgr_packetWriter::Result::Written || result == TAVO_mgr_packetWriter::Result::Waiting)
        return;
    broken = true;
    const QString reason = writer->problem();
    QMetaObject::invokeMethod(this, [this, reason] { Q_EMIT failed(reason); }, Qt::QueuedConnection);
}

void TAVO_mgr_backgroundWriter::restart()
{
    if (!finished)
        QMetaObject::invokeMethod(worker, [this] { writer->restart(); }, Qt::QueuedConnection);
}

QString TAVO_mgr_backgroundWriter::finish()
{
    if (finished)
        return QString();
    finished = true;
    QString problem;
    // What is queued before this is written first; the file is then closed on the same thread.
    QMetaObject::invokeMethod(
        worker,
        [this, &problem] {
            writer->trimToWholePictures();
            written = writer->bytesWritten();
            if (broken)
                problem = writer->problem();
            if (::close(fd) != 0 && problem.isEmpty())
                problem = QString::fromLocal8Bit(std::strerror(errno));
        },
        Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    delete writer;
    writer = nullptr;
    return problem;
}

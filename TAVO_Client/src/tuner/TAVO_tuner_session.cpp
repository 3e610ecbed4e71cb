#include "TAVO_tuner_session.h"

#include "TAVO_mgr_boxStream.h"
#include "TAVO_mgr_channelKeys.h"
#include "TAVO_tuner_viewer.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcTunerSession, "tavo.tuner.session", QtInfoMsg)

TAVO_tuner_session::TAVO_tuner_session(const TAVO_tuner_box &box, const QString &number, QObject *parent)
    : QObject(parent)
    , box(box)
    , channel(number)
{
    settle.setSingleShot(true);
    connect(&settle, &QTimer::timeout, this, &TAVO_tuner_session::tuned);
    kept.setSingleShot(true);
    connect(&kept, &QTimer::timeout, this, &TAVO_tuner_session::end);
}

TAVO_tuner_session::~TAVO_tuner_session()
{
    qDeleteAll(viewers);
}

TAVO_mgr_boxLock::Outcome TAVO_tuner_session::start(QString *detail)
{
    lock = std::make_unique<TAVO_mgr_boxLock>(box.server.device.UDN);
    const TAVO_mgr_boxLock::Outcome outcome = lock->acquire(detail);
    if (outcome != TAVO_mgr_boxLock::Outcome::Taken)
        return outcome;
    qCDebug(lcTunerSession) << "Tuning" << box.name() << "to" << channel;
    keys = new TAVO_mgr_channelKeys(box.server, this);
    connect(keys, &TAVO_mgr_channelKeys::tuned, this, [this] { settle.start(box.list.pauseMs); });
    connect(keys, &TAVO_mgr_channelKeys::refused, this, &TAVO_tuner_session::tuningRefused);
    keys->tune(channel, TAVO_mgr_channelKeys::Asked::ByNumber);
    return outcome;
}

void TAVO_tuner_session::add(QTcpSocket *client, const QByteArray &userAgent)
{
    kept.stop();
    auto *viewer = new TAVO_tuner_viewer(client, userAgent, this);
    viewers.append(viewer);
    connect(viewer, &TAVO_tuner_viewer::failed, this, [this](const QString &reason) { Q_EMIT failed(box.id, reason); });
    connect(viewer, &TAVO_tuner_viewer::gone, this, [this, viewer] { viewerGone(viewer); });
    if (ready)
        viewer->watch(TAVO_mgr_boxStream::of(box.server));
}

TAVO_tuner_boxUse TAVO_tuner_session::use() const
{
    TAVO_tuner_boxUse use{box.id, channel, started, {}};
    for (const TAVO_tuner_viewer *viewer : viewers)
        use.viewers.append(viewer->who() + QLatin1String(" since ") + viewer->since().toString(QStringLiteral("HH:mm:ss")));
    return use;
}

void TAVO_tuner_session::tuned()
{
    qCDebug(lcTunerSession) << box.name() << "is tuned to" << channel;
    ready = true;
    // A viewer may go (and leave the list) while the others join.
    const QList<TAVO_tuner_viewer *> waiting = viewers;
    for (TAVO_tuner_viewer *viewer : waiting)
        viewer->watch(TAVO_mgr_boxStream::of(box.server));
}

void TAVO_tuner_session::tuningRefused(const QString &reason)
{
    refused = true;
    Q_EMIT failed(box.id, reason);
    const QList<TAVO_tuner_viewer *> waiting = viewers;
    for (TAVO_tuner_viewer *viewer : waiting)
        viewer->refuse(502, QStringLiteral("%1 cannot be tuned to %2: %3").arg(box.name(), channel, reason));
}

void TAVO_tuner_session::viewerGone(TAVO_tuner_viewer *viewer)
{
    viewers.removeOne(viewer);
    viewer->deleteLater();
    if (!viewers.isEmpty())
        return;
    qCDebug(lcTunerSession) << "The last client of" << box.name() << "has gone";
    if (refused)
        end();
    else
        kept.start(keptAfterLastClientMs);
}

void TAVO_tuner_session::end()
{
    kept.stop();
    lock.reset();
    Q_EMIT finished();
}

#include "TAVO_tuner_picture.h"

#include "TAVO_mgr_boxStream.h"
#include "TAVO_mgr_streamSocket.h"
#include "TAVO_tuner_request.h"

#include <QLoggingCategory>
#include <QTcpSocket>
#include <QTimer>

Q_LOGGING_CATEGORY(lcTunerPicture, "tavo.tuner.picture", QtInfoMsg)

TAVO_tuner_picture::TAVO_tuner_picture(const TAVO_tuner_box &box, QObject *parent)
    : QObject(parent)
    , box(box)
{
    connect(&remuxer, &TAVO_tuner_remuxer::initialized, this, &TAVO_tuner_picture::initialized);
    connect(&remuxer, &TAVO_tuner_remuxer::fragment, this, &TAVO_tuner_picture::fragment);
    connect(&remuxer, &TAVO_tuner_remuxer::failed, this, &TAVO_tuner_picture::failed);
    tap = TAVO_mgr_boxStream::of(box.server)->join(this);
    tap->setKeepAsking(true);
    connect(tap, &TAVO_mgr_streamTap::packets, &remuxer, &TAVO_tuner_remuxer::add, Qt::DirectConnection);
    connect(tap, &TAVO_mgr_streamTap::ended, this, [this](const TAVO_mgr_streamFailure &failure) {
        if (!failure.reason.isEmpty())
            qCInfo(lcTunerPicture).noquote() << this->box.name() << failure.reason;
    });
    remuxer.start();
    qCDebug(lcTunerPicture) << "Repackaging the picture of" << box.name();
}

TAVO_tuner_picture::~TAVO_tuner_picture()
{
    remuxer.stop();
    remuxer.wait();
    for (const Browser &browser : std::as_const(browsers)) {
        if (browser.socket)
            browser.socket->abort();
    }
}

void TAVO_tuner_picture::add(QTcpSocket *socket)
{
    socket->setParent(this);
    // Whatever a browser sends once it asked is read only to be dropped: reading sees it go.
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->skip(socket->bytesAvailable()); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
    browsers.append({socket, false, false});
    if (!refusal.isEmpty() || !init.isEmpty())
        answer(browsers.last());
}

// The head and init segment, or the refusal, once either is known.
void TAVO_tuner_picture::answer(Browser &browser)
{
    browser.answered = true;
    if (!refusal.isEmpty())
        refuse(browser.socket);
    else
        browser.socket->write(TAVO_tuner_answer::head(200, mimeType) + init);
}

void TAVO_tuner_picture::refuse(QTcpSocket *socket)
{
    socket->disconnect(this);
    // The refusal outlives this picture, which ends with its last browser.
    socket->setParent(parent());
    socket->write(TAVO_tuner_answer::refusal(415, refusal));
    TAVO_mgr_streamSocket::closeAfterSending(socket);
    drop(socket);
}

void TAVO_tuner_picture::initialized(const QByteArray &segment, const QByteArray &type)
{
    init = segment;
    mimeType = type;
    for (Browser &browser : browsers) {
        if (!browser.answered)
            answer(browser);
    }
}

void TAVO_tuner_picture::fragment(const QByteArray &bytes, bool startsWithKey)
{
    for (Browser &browser : browsers) {
        if (!browser.socket || !browser.answered || (!browser.started && !startsWithKey))
            continue;
        browser.started = true;
        if (browser.socket->bytesToWrite() > backlogLimitBytes) {
            qCInfo(lcTunerPicture).noquote() << box.name() << "drops a browser that fell behind";
            QTimer::singleShot(0, browser.socket, &QTcpSocket::abort);
            continue;
        }
        browser.socket->write(bytes);
    }
}

void TAVO_tuner_picture::failed(const QString &reason)
{
    qCInfo(lcTunerPicture).noquote() << box.name() << reason;
    refusal = reason;
    const QList<Browser> all = browsers;
    for (const Browser &browser : all) {
        if (!browser.socket)
            continue;
        if (browser.answered)
            browser.socket->abort();
        else
            refuse(browser.socket);
    }
}

void TAVO_tuner_picture::drop(QTcpSocket *socket)
{
    browsers.removeIf([socket](const Browser &browser) { return browser.socket == socket || !browser.socket; });
    if (browsers.isEmpty())
        Q_EMIT finished();
}

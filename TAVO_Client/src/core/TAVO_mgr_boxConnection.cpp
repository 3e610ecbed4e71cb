#include "TAVO_mgr_boxConnection.h"

#include "TAVO_mgr_boxKey.h"

#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QUrl>

TAVO_mgr_boxConnection::TAVO_mgr_boxConnection(const TAVO_SERVER &server, const QString &url, QObject *parent)
    : QObject(parent)
    , server(server)
{
    network.setProxy(QNetworkProxy::NoProxy);
    network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    silence.setSingleShot(true);
    connect(&silence, &QTimer::timeout, this, &TAVO_mgr_boxConnection::heardNothing);

    const QUrl location(url);
    QNetworkRequest request(location.adjusted(QUrl::RemoveUserInfo));
    if (!location.userName().isEmpty())
        request.setRawHeader("Authorization", "Basic "
                                                  + (location.userName() + QLatin1Char(':') + location.password())
                                                        .toUtf8()
                                                        .toBase64());
    if (location.scheme() == QLatin1String("https"))
        TAVO_mgr_boxKey::pin(server.host);
    reply = network.get(request);
    reply->setReadBufferSize(readBufferBytes);
    connect(reply, &QNetworkReply::readyRead, this, &TAVO_mgr_boxConnection::read);
    connect(reply, &QNetworkReply::finished, this, &TAVO_mgr_boxConnection::finished);
    connect(reply, &QNetworkReply::sslErrors, this, &TAVO_mgr_boxConnection::checkPeerKey);
    connect(reply, &QNetworkReply::encrypted, this, [this] {
        if (!TAVO_mgr_boxKey::isPinned(this->server.host, reply->sslConfiguration().peerCertificate())) {
            keyMismatch = true;
            reply->abort();
        }
    });
    silence.start(answerLimitMs);
}

TAVO_mgr_boxConnection::~TAVO_mgr_boxConnection()
{
    if (!reply)
        return;
    reply->disconnect(this);
    if (!reply->isFinished())
        reply->abort();
    reply->deleteLater();
}

void TAVO_mgr_boxConnection::setFlowing()
{
    flowing = true;
    silence.start(stallLimitMs);
}

void TAVO_mgr_boxConnection::setHeld(bool nowHeld)
{
    held = nowHeld;
    // What came meanwhile is read once nobody holds the stream, and then the end it had.
    if (!held)
        QTimer::singleShot(0, this, endWhenRead ? &TAVO_mgr_boxConnection::finished : &TAVO_mgr_boxConnection::read);
}

// Only a stream's bytes are handed on: an error page's are not.
void TAVO_mgr_boxConnection::read()
{
    if (over || !reply || held || reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        return;
    const QByteArray bytes = reply->readAll();
    if (bytes.isEmpty())
        return;
    if (flowing)
        silence.start(stallLimitMs);
    Q_EMIT arrived(bytes);
}

void TAVO_mgr_boxConnection::finished()
{
    if (over)
        return;
    if (held) {
        endWhenRead = true;
        return;
    }
    read();
    endWith(failure());
}

void TAVO_mgr_boxConnection::heardNothing()
{
    // A reader that holds the stream keeps it waiting; the box is not to blame.
    if (held) {
        silence.start(stallLimitMs);
        return;
    }
    endWith(flowing ? TAVO_mgr_streamFailure::stalled(stallLimitMs) : TAVO_mgr_streamFailure::noAnswer(answerLimitMs));
}

void TAVO_mgr_boxConnection::checkPeerKey(const QList<QSslError> &errors)
{
    if (reply && TAVO_mgr_boxKey::isPinned(server.host, reply->sslConfiguration().peerCertificate()))
        reply->ignoreSslErrors(errors);
    else
        keyMismatch = true;
}

TAVO_mgr_streamFailure TAVO_mgr_boxConnection::failure() const
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (keyMismatch)
        return TAVO_mgr_streamFailure::keyNotPinned(server.host);
    if (status == 401)
        return TAVO_mgr_streamFailure::credentialsRefused();
    if (status != 0 && status != 200)
        return TAVO_mgr_streamFailure::httpStatus(status);
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return TAVO_mgr_streamFailure::connectionRefused();
    case QNetworkReply::TimeoutError:
    case QNetworkReply::HostNotFoundError:
        return TAVO_mgr_streamFailure::timedOut();
    default:
        return TAVO_mgr_streamFailure::because(QStringLiteral("the box closed the connection without a stream"),
                                               QStringLiteral("Try again in a moment."));
    }
}

void TAVO_mgr_boxConnection::endWith(const TAVO_mgr_streamFailure &failure)
{
    over = true;
    silence.stop();
    Q_EMIT ended(failure);
    deleteLater();
}

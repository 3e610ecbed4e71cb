#include "TAVO_mgr_keySender.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

Q_LOGGING_CATEGORY(lcKeys, "tavo.mgr.keys", QtInfoMsg)

namespace {

constexpr int httpDefaultPort = 80;

} // namespace

TAVO_mgr_keySender::TAVO_mgr_keySender(QObject *parent)
    : QObject(parent)
    , http(new QNetworkAccessManager(this))
{
}

void TAVO_mgr_keySender::setTimeout(int milliseconds)
{
    timeoutMs = milliseconds;
}

bool TAVO_mgr_keySender::isSending() const
{
    return inFlight != nullptr;
}

void TAVO_mgr_keySender::send(const QUrl &command)
{
    if (inFlight)
        return;
    const QNetworkProxy box(QNetworkProxy::HttpProxy, command.host(), static_cast<quint16>(command.port(httpDefaultPort)));
    if (http->proxy() != box)
        http->setProxy(box);
    QNetworkRequest request(command);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    inFlight = http->get(request);
    connect(inFlight, &QNetworkReply::metaDataChanged, this, &TAVO_mgr_keySender::readStatus);
    connect(inFlight, &QNetworkReply::finished, this, &TAVO_mgr_keySender::ended);
}

// The reply leaves the sender's hands: nothing more of it reaches the sender.
QNetworkReply *TAVO_mgr_keySender::takeInFlight()
{
    QNetworkReply *reply = inFlight;
    inFlight = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->deleteLater();
    return reply;
}

void TAVO_mgr_keySender::readStatus()
{
    const QVariant status = inFlight->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    QNetworkReply *reply = takeInFlight();
    reply->abort();
    Q_EMIT answered(reply->url(), status.toInt());
}

// Ended before any status line: the box is gone, refused the connection or stayed silent.
void TAVO_mgr_keySender::ended()
{
    QNetworkReply *reply = takeInFlight();
    if (reply->error() == QNetworkReply::OperationCanceledError)
        qCDebug(lcKeys).noquote() << "Key command timed out:" << reply->url().toString();
    else
        qCDebug(lcKeys).noquote() << "Key command failed:" << reply->errorString();
    Q_EMIT failed(reply->url(), failureOf(reply), reply->errorString());
}

// The box is the sender's proxy, so its failures are reported as the proxy's.
TAVO_mgr_keySender::Failure TAVO_mgr_keySender::failureOf(const QNetworkReply *reply)
{
    switch (reply->error()) {
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::TimeoutError:
        return Failure::NoAnswer;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ConnectionRefusedError:
        return Failure::Refused;
    default:
        return Failure::Unreachable;
    }
}

QString TAVO_mgr_keySender::refusalText(int status)
{
    switch (status) {
    case 432:
        return QStringLiteral("Old RCU Version");
    case 433:
        return QStringLiteral("Incorrect RCU Id");
    case 510:
        return QStringLiteral("Remote Controller Unavailable");
    case 514:
        return QStringLiteral("RCU Key Not Learned / Supported");
    case 515:
        return QStringLiteral("Unable to Access URI");
    default:
        return QString();
    }
}

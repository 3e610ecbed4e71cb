#include "TAVO_mgr_httpRequest.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

Q_LOGGING_CATEGORY(lcKeys, "tavo.mgr.keys", QtInfoMsg)

namespace {

constexpr int httpDefaultPort = 80;
constexpr int statusOk = 200;

} // namespace

TAVO_mgr_httpRequest::TAVO_mgr_httpRequest(QWidget *parent)
    : QObject(parent)
    , parentWidget(parent)
    , http(new QNetworkAccessManager(this))
{
}

void TAVO_mgr_httpRequest::setTimeout(int milliseconds)
{
    timeoutMs = milliseconds;
}

void TAVO_mgr_httpRequest::httpRequest(QUrl *url)
{
    if (!url || !url->isValid() || url->host().isEmpty()) {
        qCDebug(lcKeys) << "Key command without a box:" << (url ? url->toString() : QString());
        return;
    }
    // A refusal box runs its own event loop, in which a held auto-repeat key can still click;
    // such commands belong to the refused burst and are dropped like the ones already waiting.
    if (showingRefusal) {
        qCDebug(lcKeys).noquote() << "Key command dropped while a refusal is shown:" << url->toString();
        return;
    }
    waiting.enqueue(*url);
    if (!inFlight)
        sendNext();
}

void TAVO_mgr_httpRequest::sendNext()
{
    if (waiting.isEmpty())
        return;
    const QUrl url = waiting.dequeue();
    const QNetworkProxy box(QNetworkProxy::HttpProxy, url.host(), static_cast<quint16>(url.port(httpDefaultPort)));
    if (http->proxy() != box)
        http->setProxy(box);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    inFlight = http->get(request);
    connect(inFlight, &QNetworkReply::metaDataChanged, this, &TAVO_mgr_httpRequest::readResponseHeader);
    connect(inFlight, &QNetworkReply::finished, this, &TAVO_mgr_httpRequest::httpRequestFinished);
}

// The reply leaves the sender's hands: nothing more of it reaches the sender.
QNetworkReply *TAVO_mgr_httpRequest::takeInFlight()
{
    QNetworkReply *reply = inFlight;
    inFlight = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->deleteLater();
    return reply;
}

void TAVO_mgr_httpRequest::readResponseHeader()
{
    const QVariant status = inFlight->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    takeInFlight()->abort();
    Q_EMIT commandAnswered();
    if (status.toInt() != statusOk) {
        refuse(status.toInt());
        return;
    }
    sendNext();
}

// Ended before any status line: the box is gone, refused the connection or stayed silent.
void TAVO_mgr_httpRequest::httpRequestFinished()
{
    QNetworkReply *reply = takeInFlight();
    if (reply->error() == QNetworkReply::OperationCanceledError)
        qCDebug(lcKeys).noquote() << "Key command timed out:" << reply->url().toString();
    else
        qCDebug(lcKeys).noquote() << "Key command failed:" << reply->errorString();
    Q_EMIT commandFailed(reply->url(), failureOf(reply));
    sendNext();
}

// The box is the sender's proxy, so its failures are reported as the proxy's.
TAVO_mgr_httpRequest::Failure TAVO_mgr_httpRequest::failureOf(const QNetworkReply *reply)
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

void TAVO_mgr_httpRequest::refuse(int status)
{
    qDebug().noquote() << QStringLiteral("Error Code: ") + QString::number(status);
    waiting.clear();
    const QString text = refusalText(status);
    if (text.isEmpty())
        return;
    showingRefusal = true;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Error Code : ") + QString::number(status), text,
                    QMessageBox::Ok, parentWidget);
    box.setInformativeText(refusalAdvice(status));
    box.exec();
    showingRefusal = false;
}

QString TAVO_mgr_httpRequest::refusalText(int status)
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

// What the refusal means for the user, under the box's own words.
QString TAVO_mgr_httpRequest::refusalAdvice(int status)
{
    switch (status) {
    case 432:
        return QStringLiteral("The box expects another version of its remote-control description. Click the "
                              "box in the list again to fetch the current one.");
    case 433:
        return QStringLiteral("The box does not know the chosen remote control. Choose another one in the "
                              "remote-control window.");
    case 510:
        return QStringLiteral("The box cannot send infra-red codes at the moment. Try again later.");
    case 514:
        return QStringLiteral("The key is not learned: the box has no infra-red code for this key of the "
                              "chosen remote control.");
    case 515:
        return QStringLiteral("The box could not carry out the command it was sent.");
    default:
        return QString();
    }
}

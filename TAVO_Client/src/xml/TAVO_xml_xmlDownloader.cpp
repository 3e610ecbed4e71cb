#include "TAVO_xml_xmlDownloader.h"

#include "TAVO_mgr_mainManager.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_xml_xmlParser.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

constexpr int httpOk = 200;
constexpr int defaultHttpPort = 80;

// Plain HTTP to the URL's host and port, for its path alone: a query or fragment is not sent.
QNetworkRequest requestFor(const QUrl &url)
{
    QUrl target;
    target.setScheme(QStringLiteral("http"));
    target.setHost(url.host());
    target.setPort(url.port(defaultHttpPort));
    target.setPath(url.path(QUrl::FullyEncoded));
    QNetworkRequest request(target);
    // Any answer but 200 is a failure, a redirect included: a box must not send us elsewhere.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return request;
}

} // namespace

// A download still under way when the program ends goes with the manager that carries it.
TAVO_xml_xmlDownloader::TAVO_xml_xmlDownloader(QWidget *parent)
    : QObject(&network())
    , parentWidget(parent)
{
    timeLimit.setSingleShot(true);
    timeLimit.setInterval(timeLimitMs);
    connect(&timeLimit, &QTimer::timeout, this, &TAVO_xml_xmlDownloader::httpRequestTimedOut);
}

TAVO_xml_xmlDownloader::~TAVO_xml_xmlDownloader() = default;

// One manager for every download: each manager keeps its own connections and cache, so one per
// box would grow with the number of boxes. The boxes are on the local network, so a proxy set
// for the user's web traffic must not be asked to reach them. It lives as long as the process:
// torn down with the application object while a request runs, it would strand the objects of
// its network thread.
QNetworkAccessManager &TAVO_xml_xmlDownloader::network()
{
    static QNetworkAccessManager *manager = [] {
        auto *shared = new QNetworkAccessManager;
        shared->setProxy(QNetworkProxy::NoProxy);
        return shared;
    }();
    return *manager;
}

bool TAVO_xml_xmlDownloader::downloadFile(QUrl *url, QString savePath, QString, QString, QString)
{
    fileName = savePath;
    downloadUrl.reset(url);
    qDebug() << fileName;

    file = std::make_unique<QSaveFile>(fileName);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QMessageBox::information(parentWidget, QStringLiteral("Message"), QStringLiteral("Cannot save file"));
        file.reset();
        httpRequestAborted = true;
        finish(Outcome::NotSaved);
        return false;
    }
    sendRequest();
    return true;
}

void TAVO_xml_xmlDownloader::sendRequest()
{
    httpRequestAborted = false;
    reply = network().get(requestFor(*downloadUrl));
    connect(reply, &QNetworkReply::metaDataChanged, this, &TAVO_xml_xmlDownloader::readResponseHeader);
    connect(reply, &QNetworkReply::readyRead, this, &TAVO_xml_xmlDownloader::updateDataReadProgress);
    connect(reply, &QNetworkReply::finished, this, &TAVO_xml_xmlDownloader::httpRequestFinished);
    timeLimit.start();
}

void TAVO_xml_xmlDownloader::readResponseHeader()
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || status.toInt() == httpOk)
        return;
    // Aborting inside this signal upsets the reply, which may be finishing in the same step.
    httpRequestAborted = true;
    QMetaObject::invokeMethod(this, &TAVO_xml_xmlDownloader::abortRequest, Qt::QueuedConnection);
}

void TAVO_xml_xmlDownloader::updateDataReadProgress()
{
    if (httpRequestAborted)
        return;
    const QByteArray data = reply->readAll();
    if (file->size() + data.size() > maxFileSize || file->write(data) != data.size())
        abortRequest();
}

void TAVO_xml_xmlDownloader::httpRequestTimedOut()
{
    abortRequest();
}

// QNetworkReply::abort() emits finished() before it returns, so the request ends right here.
void TAVO_xml_xmlDownloader::abortRequest()
{
    httpRequestAborted = true;
    if (reply)
        reply->abort();
}

void TAVO_xml_xmlDownloader::httpRequestFinished()
{
    timeLimit.stop();
    updateDataReadProgress();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool complete = !httpRequestAborted && reply->error() == QNetworkReply::NoError && status.toInt() == httpOk;
    reply->disconnect(this);
    reply->deleteLater();
    reply = nullptr;
    // A file that is not committed is removed when it is released.
    const bool saved = complete && file->commit();
    file.reset();
    QString udn;
    Outcome outcome = status.isValid() ? Outcome::Refused : Outcome::NoAnswer;
    if (saved)
        outcome = parseIfDeviceDescription(&udn);
    else if (complete)
        outcome = Outcome::NotSaved;
    finish(outcome, udn);
}

void TAVO_xml_xmlDownloader::finish(Outcome outcome, const QString &udn)
{
    Q_EMIT downloadFinished(outcome, udn);
    deleteLater();
}

// Only a device description is parsed now; a remote-controller description waits in the cache
// until the controller is opened.
TAVO_xml_xmlDownloader::Outcome TAVO_xml_xmlDownloader::parseIfDeviceDescription(QString *udn)
{
    if (!fileName.contains(QLatin1String("DeviceDescription.xml")))
        return Outcome::Saved;
    auto *window = qobject_cast<TAVO_ui_mainWindow *>(parentWidget.data());
    if (!window)
        return Outcome::NotRegistered;
    TAVO_xml_xmlParser parser(window);
    parser.setManager(window->mManager);
    // The registry only grows by a box it did not list before.
    const int listedBefore = window->mManager->getServerCount();
    // A description that was not taken would only wait in the cache until the program closes.
    if (!parser.parseDeviceDescription(&fileName, downloadUrl.get())) {
        QFile::remove(fileName);
        return Outcome::NotRegistered;
    }
    *udn = parser.parsedUdn();
    return window->mManager->getServerCount() > listedBefore ? Outcome::Registered : Outcome::AlreadyListed;
}

#ifndef TAVO_MGR_HTTPREQUEST_H
#define TAVO_MGR_HTTPREQUEST_H

#include <QObject>
#include <QQueue>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QWidget;

// Sends the key commands of the remote control to a box, one at a time in the order they were
// given, and shows the box's refusals.
//
// A box expects the whole URL as the request target ("GET http://host:port/?… HTTP/1.1"), the
// form a request through an HTTP proxy takes; the sender therefore uses the box itself as the
// proxy of its own network manager. Any answer but 200 drops every command still waiting.
// A command the box does not answer within the time limit is given up and the next one is sent.
// Only the status line counts: the command is settled as soon as it arrives, whatever body
// (even an endless one) the box may send after it.
class TAVO_mgr_httpRequest : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTimeoutMs = 5000;

    // Why a command did not reach the box.
    enum class Failure { NoAnswer, Refused, Unreachable };
    Q_ENUM(Failure)

    explicit TAVO_mgr_httpRequest(QWidget *parent);

    // Queues the key command; it is sent once every earlier command has been answered.
    void httpRequest(QUrl *url);
    void setTimeout(int milliseconds);

    QWidget *parentWidget;

Q_SIGNALS:
    // The box answered the command, whatever it answered.
    void commandAnswered();
    void commandFailed(const QUrl &command, TAVO_mgr_httpRequest::Failure failure);

private Q_SLOTS:
    void readResponseHeader();
    void httpRequestFinished();

private:
    void sendNext();
    QNetworkReply *takeInFlight();
    void refuse(int status);
    static QString refusalText(int status);
    static QString refusalAdvice(int status);
    static Failure failureOf(const QNetworkReply *reply);

    QNetworkAccessManager *http;
    QQueue<QUrl> waiting;
    QNetworkReply *inFlight = nullptr;
    bool showingRefusal = false;
    int timeoutMs = defaultTimeoutMs;
};

#endif

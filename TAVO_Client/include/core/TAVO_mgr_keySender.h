#ifndef TAVO_MGR_KEYSENDER_H
#define TAVO_MGR_KEYSENDER_H

#include <QLoggingCategory>
#include <QObject>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

Q_DECLARE_LOGGING_CATEGORY(lcKeys)

// Sends one key command at a time to a box and says how the box took it, for the window's
// remote panel and for every program that tunes.
//
// A box expects the whole URL as the request target ("GET http://host:port/?… HTTP/1.1"), the
// form a request through an HTTP proxy takes; the sender therefore uses the box itself as the
// proxy of its own network manager, and so never a proxy of the system's. A redirect is an
// answer, not followed. Only the status line counts: the command is settled as soon as it
// arrives, whatever body (even an endless one) the box may send after it. A command the box
// does not answer within the time limit has failed.
class TAVO_mgr_keySender : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTimeoutMs = 5000;
    static constexpr int statusOk = 200;

    // Why a command did not reach the box.
    enum class Failure { NoAnswer, Refused, Unreachable };
    Q_ENUM(Failure)

    explicit TAVO_mgr_keySender(QObject *parent = nullptr);

    void setTimeout(int milliseconds);
    // answered() or failed() follows once; a command is sent only when none is under way.
    void send(const QUrl &command);
    bool isSending() const;

    // The box's own words for a refusal it names ("Incorrect RCU Id"), or an empty text.
    static QString refusalText(int status);

Q_SIGNALS:
    // The box answered the command with `status`; only statusOk carried it out.
    void answered(const QUrl &command, int status);
    void failed(const QUrl &command, TAVO_mgr_keySender::Failure failure, const QString &why);

private:
    void readStatus();
    void ended();
    QNetworkReply *takeInFlight();
    static Failure failureOf(const QNetworkReply *reply);

    QNetworkAccessManager *http;
    QNetworkReply *inFlight = nullptr;
    int timeoutMs = defaultTimeoutMs;
};

#endif

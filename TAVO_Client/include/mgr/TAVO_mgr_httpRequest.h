#ifndef TAVO_MGR_HTTPREQUEST_H
#define TAVO_MGR_HTTPREQUEST_H

#include "TAVO_mgr_keySender.h"

#include <QObject>
#include <QQueue>
#include <QUrl>

class QWidget;

// Sends the key commands of the remote control to a box, one at a time in the order they were
// given, through the key sender every program shares, and shows the box's refusals.
// Any answer but 200 drops every command still waiting. A command the box does not answer
// within the time limit is given up and the next one is sent.
class TAVO_mgr_httpRequest : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTimeoutMs = TAVO_mgr_keySender::defaultTimeoutMs;

    using Failure = TAVO_mgr_keySender::Failure;

    explicit TAVO_mgr_httpRequest(QWidget *parent);

    // Queues the key command; it is sent once every earlier command has been answered.
    void httpRequest(QUrl *url);
    void setTimeout(int milliseconds);

    QWidget *parentWidget;

Q_SIGNALS:
    // The box answered the command, whatever it answered.
    void commandAnswered();
    void commandFailed(const QUrl &command, TAVO_mgr_keySender::Failure failure);

private:
    void sendNext();
    void answered(int status);
    void failed(const QUrl &command, Failure failure);
    void refuse(int status);
    static QString refusalAdvice(int status);

    TAVO_mgr_keySender *sender;
    QQueue<QUrl> waiting;
    bool showingRefusal = false;
};

#endif

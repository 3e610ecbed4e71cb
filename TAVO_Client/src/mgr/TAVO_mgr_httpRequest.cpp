#include "TAVO_mgr_httpRequest.h"

#include <QDebug>
#include <QMessageBox>

TAVO_mgr_httpRequest::TAVO_mgr_httpRequest(QWidget *parent)
    : QObject(parent)
    , parentWidget(parent)
    , sender(new TAVO_mgr_keySender(this))
{
    connect(sender, &TAVO_mgr_keySender::answered, this, [this](const QUrl &, int status) { answered(status); });
    connect(sender, &TAVO_mgr_keySender::failed, this, [this](const QUrl &command, Failure failure) { failed(command, failure); });
}

void TAVO_mgr_httpRequest::setTimeout(int milliseconds)
{
    sender->setTimeout(milliseconds);
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
    if (!sender->isSending())
        sendNext();
}

void TAVO_mgr_httpRequest::sendNext()
{
    if (!waiting.isEmpty())
        sender->send(waiting.dequeue());
}

void TAVO_mgr_httpRequest::answered(int status)
{
    Q_EMIT commandAnswered();
    if (status != TAVO_mgr_keySender::statusOk) {
        refuse(status);
        return;
    }
    sendNext();
}

void TAVO_mgr_httpRequest::failed(const QUrl &command, Failure failure)
{
    Q_EMIT commandFailed(command, failure);
    sendNext();
}

void TAVO_mgr_httpRequest::refuse(int status)
{
    qDebug().noquote() << QStringLiteral("Error Code: ") + QString::number(status);
    waiting.clear();
    const QString text = TAVO_mgr_keySender::refusalText(status);
    if (text.isEmpty())
        return;
    showingRefusal = true;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Error Code : ") + QString::number(status), text,
                    QMessageBox::Ok, parentWidget);
    box.setInformativeText(refusalAdvice(status));
    box.exec();
    showingRefusal = false;
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

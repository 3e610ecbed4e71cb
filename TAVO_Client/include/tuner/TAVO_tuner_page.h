#ifndef TAVO_TUNER_PAGE_H
#define TAVO_TUNER_PAGE_H

#include "TAVO_tuner_lineup.h"
#include "TAVO_tuner_request.h"

#include <QMap>
#include <QObject>

class QTcpSocket;
class TAVO_tuner_remote;

// The tuner's web page: its files (compiled in), and what its script asks for: the boxes with
// their channels, a box's remote, and the keys and channels pressed, which are taken by POST
// from the page's own origin only and go to the box in the order pressed.
class TAVO_tuner_page : public QObject
{
    Q_OBJECT

public:
    // Where the page's script asks; each checks what it takes (box ids, numbers, key names).
    struct Route
    {
        enum class Kind { None, File, Boxes, Remote, Key, Channel };
        Kind kind = Kind::None;
        QString file;   // the resource's name
        QString box;
        QString value;  // a key's name or a channel's number

        static Route of(const QString &path);
        // Those that press a box's keys: POST only, from the page's own origin only.
        bool presses() const { return kind == Kind::Key || kind == Kind::Channel; }
    };

    explicit TAVO_tuner_page(TAVO_tuner_lineup *lineup, QObject *parent = nullptr);

    // True when the request is the page's, and then answered.
    bool answer(QTcpSocket *socket, const TAVO_tuner_request &request);

    // The boxes and their channels as the page shows them.
    static QByteArray boxesJson(const QList<TAVO_tuner_box> &boxes);
    // Whether a browser says the page itself sent the request: needed of every press.
    static bool isFromThePage(const TAVO_tuner_request &request);

private:
    void answerFile(QTcpSocket *socket, const QString &name, bool withBody);
    TAVO_tuner_remote *remoteOf(const TAVO_tuner_box &box);

    TAVO_tuner_lineup *lineup;
    QMap<QString, TAVO_tuner_remote *> remotes;  // by box id
};

#endif

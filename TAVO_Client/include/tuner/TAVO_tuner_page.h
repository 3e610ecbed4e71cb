#ifndef TAVO_TUNER_PAGE_H
#define TAVO_TUNER_PAGE_H

#include "TAVO_tuner_access.h"
#include "TAVO_tuner_lineup.h"
#include "TAVO_tuner_request.h"

#include <QMap>
#include <QObject>

#include <memory>

class QTcpSocket;
class TAVO_tuner_picture;
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
        enum class Kind { None, File, Login, Boxes, Remote, Key, Channel, Picture };
        Kind kind = Kind::None;
        QString file;   // the resource's name
        QString box;
        QString value;  // a key's name or a channel's number

        static Route of(const QString &path);
        // Those that press a box's keys: POST only, from the page's own origin only.
        bool presses() const { return kind == Kind::Key || kind == Kind::Channel; }
        // POST only, from the page's own origin only.
        bool posts() const { return presses() || kind == Kind::Login; }
        // What only a session may ask for where a password is required: all but the page's files.
        bool needsSession() const { return kind != Kind::File && kind != Kind::Login; }
    };

    // Browsers shown a picture at once, over all boxes.
    static constexpr int pictureLimit = 16;

    TAVO_tuner_page(TAVO_tuner_lineup *lineup, bool allowEncrypted, QObject *parent = nullptr);
    ~TAVO_tuner_page() override;

    // Who may use the page; without it, everyone who reaches it (the loopback address).
    void guard(std::unique_ptr<TAVO_tuner_access> access);

    // True when the request is the page's, and then answered.
    bool answer(QTcpSocket *socket, const TAVO_tuner_request &request);

    // The boxes and their channels as the page shows them.
    static QByteArray boxesJson(const QList<TAVO_tuner_box> &boxes);
    // Whether a browser says the page itself sent the request: needed of every press.
    static bool isFromThePage(const TAVO_tuner_request &request);

private:
    void answerFile(QTcpSocket *socket, const QString &name, bool withBody);
    QByteArray answerLogin(const QTcpSocket *socket, const TAVO_tuner_request &request);
    TAVO_tuner_remote *remoteOf(const TAVO_tuner_box &box);
    QByteArray showPicture(QTcpSocket *socket, const TAVO_tuner_box &box);

    TAVO_tuner_lineup *lineup;
    std::unique_ptr<TAVO_tuner_access> access;
    bool allowEncrypted;
    QMap<QString, TAVO_tuner_remote *> remotes;    // by box id
    QMap<QString, TAVO_tuner_picture *> pictures;  // by box id, while browsers watch
};

#endif

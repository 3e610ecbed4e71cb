#ifndef TAVO_TUNER_PICTURE_H
#define TAVO_TUNER_PICTURE_H

#include "TAVO_tuner_lineup.h"
#include "TAVO_tuner_remuxer.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QTcpSocket;
class TAVO_mgr_streamTap;

// One box's picture for the page's browsers: the box's one stream in this program (a reader of
// TAVO_mgr_boxStream, shared with TV software's viewers), repackaged once for all of them. A
// browser gets the init segment, then the fragments from the next one that begins with a
// picture that decodes alone. finished() follows when the last browser has gone.
class TAVO_tuner_picture : public QObject
{
    Q_OBJECT

public:
    // A browser that falls this far behind is dropped; it never holds the others.
    static constexpr qint64 backlogLimitBytes = 4 * 1024 * 1024;

    TAVO_tuner_picture(const TAVO_tuner_box &box, QObject *parent = nullptr);
    ~TAVO_tuner_picture() override;

    void add(QTcpSocket *browser);
    int browserCount() const { return int(browsers.size()); }

Q_SIGNALS:
    void finished();

private:
    struct Browser
    {
        QPointer<QTcpSocket> socket;
        bool answered = false;  // the head and init segment went out
        bool started = false;   // it has had a fragment that begins with a key picture
    };

    void initialized(const QByteArray &segment, const QByteArray &type);
    void fragment(const QByteArray &bytes, bool startsWithKey);
    void failed(const QString &reason);
    void answer(Browser &browser);
    void refuse(QTcpSocket *socket);
    void drop(QTcpSocket *socket);

    TAVO_tuner_box box;
    TAVO_mgr_streamTap *tap = nullptr;
    TAVO_tuner_remuxer remuxer;
    QByteArray init;
    QByteArray mimeType;
    QString refusal;
    QList<Browser> browsers;
};

#endif

#ifndef TAVO_TUNER_LINEUP_H
#define TAVO_TUNER_LINEUP_H

#include "TAVO_mgr_channelList.h"
#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_mgr_streamSettings.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

// One box the service serves, with its channel list as the window keeps it.
struct TAVO_tuner_box
{
    TAVO_SERVER server;
    TAVO_mgr_channelList list;
    TAVO_mgr_streamSettings settings;  // what the box is asked to send
    QString id;    // its UDN, which names it in the service's URLs
    // The same for every box whose list tunes the same numbers by the same keys and that is asked
    // for the same stream: a client told a channel's codec gets it from any box of the pool.
    QString pool;
    bool encrypted = false;

    QString name() const { return server.device.friendlyName; }
};

// The boxes found so far and their channel lists, read again from the window's files whenever
// they are asked for, so that a list edited in the window is served at once. A box the service
// cannot name in a URL (a UDN of other characters) is left out.
class TAVO_tuner_lineup : public QObject
{
    Q_OBJECT

public:
    static constexpr int boxLimit = 64;

    using QObject::QObject;

    // A box answered: added, or its record updated (it may have moved).
    void add(const TAVO_SERVER &server);
    // Every box with its list, in a stable order (by name, then UDN).
    QList<TAVO_tuner_box> boxes() const;
    // The box of that id, with its list; false when there is none.
    bool box(const QString &id, TAVO_tuner_box *found) const;
    // The boxes of the first pool of `boxes` (in their order) whose list has that number: the one
    // pool that lineups and /auto/v<number> mean by it, among the boxes served.
    static QList<TAVO_tuner_box> poolFor(const QList<TAVO_tuner_box> &boxes, const QString &number);

    // The pool (of `boxes`, in their order) that lineups and /auto/v<number> mean by the number:
    // the first whose list has it; empty when none has.
    static QString firstPoolWith(const QList<TAVO_tuner_box> &boxes, const QString &number);
    // The UDN when it can stand in a URL's path as it is, else empty.
    static QString idOf(const QString &udn);
    static QString poolOf(const TAVO_mgr_channelList &list, const TAVO_mgr_streamSettings &settings);
    static TAVO_tuner_box withList(const TAVO_SERVER &server);

private:
    QMap<QString, TAVO_SERVER> servers;  // by id
};

#endif

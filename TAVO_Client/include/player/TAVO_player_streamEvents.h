#ifndef TAVO_PLAYER_STREAMEVENTS_H
#define TAVO_PLAYER_STREAMEVENTS_H

#include <QObject>

// What becomes of the player's stream by itself, told on the GUI thread to whoever listens. A
// Stop or a new start is the listeners' own doing and is not told.
class TAVO_player_streamEvents : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

Q_SIGNALS:
    // A stream that played, or was started quietly, ended or failed.
    void lost();
    // A stream started quietly began to play.
    void back();
};

#endif

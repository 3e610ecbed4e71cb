#ifndef TAVO_PLAYER_PICTUREKEEPER_H
#define TAVO_PLAYER_PICTUREKEEPER_H

#include <QObject>
#include <QString>

#include <functional>

class TAVO_player_vlcPlayer;

// Keeps the picture on screen as a PNG file, at the stream's own size, in the user's pictures
// folder, named after the box that plays and the time.
class TAVO_player_pictureKeeper : public QObject
{
    Q_OBJECT

public:
    // `playingBox` names the box whose stream plays (empty while none does).
    TAVO_player_pictureKeeper(TAVO_player_vlcPlayer *player, std::function<QString()> playingBox,
                              QObject *parent = nullptr);

    // Saves the picture and says where, or why not, on the status line.
    void save();

Q_SIGNALS:
    void status(const QString &text);

private:
    TAVO_player_vlcPlayer *player;
    std::function<QString()> playingBox;
};

#endif

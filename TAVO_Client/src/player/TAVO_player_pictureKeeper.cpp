#include "TAVO_player_pictureKeeper.h"

#include "TAVO_mgr_savedFiles.h"
#include "TAVO_player_vlcPlayer.h"

#include <QFile>

TAVO_player_pictureKeeper::TAVO_player_pictureKeeper(TAVO_player_vlcPlayer *player,
                                                     std::function<QString()> playingBox, QObject *parent)
    : QObject(parent)
    , player(player)
    , playingBox(std::move(playingBox))
{
}

void TAVO_player_pictureKeeper::save()
{
    const QString box = playingBox();
    if (box.isEmpty() || !player->isPlaying()) {
        Q_EMIT status(QStringLiteral("No picture to keep: nothing plays"));
        return;
    }
    QString problem;
    const QString path = TAVO_mgr_savedFiles::createNew(QStandardPaths::PicturesLocation, box, QStringLiteral("png"),
                                                        &problem);
    if (path.isEmpty()) {
        Q_EMIT status(QStringLiteral("Could not keep the picture: %1").arg(problem));
        return;
    }
    if (!player->takeSnapshot(path)) {
        QFile::remove(path);
        Q_EMIT status(QStringLiteral("Could not keep the picture: libVLC gave none"));
        return;
    }
    Q_EMIT status(QStringLiteral("Picture saved to %1").arg(path));
}

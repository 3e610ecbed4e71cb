#pragma once

#include <QObject>
#include <QStringList>

// Hears every download of the client (device and remote-controller descriptions) end, once the
// client has handled it: parsed, listed or thrown away. All of them go through the one network
// manager of the downloaders, which tells each reply that finished.
class TAVO_test_downloads : public QObject
{
public:
    TAVO_test_downloads();

    // How many downloads whose URL contains `urlPart` have ended so far.
    int ended(const QString &urlPart) const;
    // Waits until at least `count` of them have.
    bool waitForEnded(const QString &urlPart, int count, int timeoutMs = 15000) const;

private:
    QStringList endedUrls;
};

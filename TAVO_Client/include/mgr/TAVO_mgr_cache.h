#ifndef TAVO_MGR_CACHE_H
#define TAVO_MGR_CACHE_H

#include <QString>

// The folder where this process keeps the XML files it fetches from the boxes.
//
// It is a fresh folder made for this process alone, so closing the program (which deletes it
// with all its content) can never touch a user's own files or another client's cache. Below it
// each box has a folder named by its UUID, holding "DeviceDescription.xml" and "rcu/".
//
// Boxes name the folders and files (their UUID, their remote-controller path), so every name a
// box supplies is checked here; a refused name yields empty text and must not be written.
class TAVO_mgr_cache
{
public:
    // The cache root with a trailing "/", created on first use.
    static QString root();

    // root() + uuid + "/", or empty text when the uuid is not a plain folder name.
    static QString boxFolder(const QString &uuid);

    // The path of the box's file for a box-side absolute path such as "/rcu/tv.xml", or empty
    // text when the path does not start with "/" or would leave the box's folder.
    static QString boxFile(const QString &uuid, const QString &boxPath);
};

#endif

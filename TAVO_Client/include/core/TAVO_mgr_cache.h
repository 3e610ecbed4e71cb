#ifndef TAVO_MGR_CACHE_H
#define TAVO_MGR_CACHE_H

#include <QLoggingCategory>
#include <QString>

// What the client says of the cache folder and the names boxes give into it ("tavo.mgr.cache").
Q_DECLARE_LOGGING_CATEGORY(lcCache)

// The folder where this process keeps the XML files it fetches from the boxes.
//
// It is a fresh folder made for this process alone, so closing the program (which deletes it
// with all its content) can never touch a user's own files or another client's cache. Below it
// each box has a folder named by its UUID, holding "DeviceDescription.xml" and "rcu/".
//
// When no such folder can be made (an unusable temporary folder), there is no cache at all:
// root() is empty, no box gets a folder, and nothing is ever deleted.
//
// Boxes name the folders and files (their UUID, their remote-controller path), so every name a
// box supplies is checked here; a refused name yields empty text and must not be written.
class TAVO_mgr_cache
{
public:
    // The cache root with a trailing "/", made on first use; empty when it could not be made.
    static QString root();

    // Why root() is empty, for the user; empty while the cache is usable.
    static QString problem();

    // A fresh private folder below tempFolder, with a trailing "/", or empty text when none can
    // be made there. root() makes its folder this way, below the user's temporary folder.
    static QString createRoot(const QString &tempFolder, QString *problem = nullptr);

    // True only for the folder root() made, while it is still a real folder (not a link): the
    // one folder this process may delete with everything in it.
    static bool isRoot(const QString &path);

    // Deletes the folder root() made with everything in it; refuses any other path. A symbolic
    // link inside is removed as a link and never followed. Safe from any thread: the window and
    // the quit signals' watch may both end the client.
    static bool removeRoot(const QString &path);

    // root() + uuid + "/", or empty text when the uuid is not a plain folder name or there is
    // no cache.
    static QString boxFolder(const QString &uuid);

    // The path of the box's file for a box-side absolute path such as "/rcu/tv.xml", or empty
    // text when the path does not start with "/" or would leave the box's folder.
    static QString boxFile(const QString &uuid, const QString &boxPath);
};

#endif

#ifndef TAVO_MGR_REMEMBEREDBOXES_H
#define TAVO_MGR_REMEMBEREDBOXES_H

#include <QList>
#include <QString>

// The boxes a user added by address, kept in the user's settings (QSettings, organisation
// "TAVO", application "TAVO_Client") so that they are fetched again at the next start.
class TAVO_mgr_rememberedBoxes
{
public:
    struct Box
    {
        QString address;  // as the user gave it; the key of the entry
        QString name;     // the box's friendly name when it was added, for the user to recognise it
    };

    static QList<Box> boxes();
    // Adds the box, or renames the entry of the same address.
    static void remember(const Box &box);
    static void forget(const QString &address);

private:
    static void store(const QList<Box> &boxes);
};

#endif

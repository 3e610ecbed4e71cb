#ifndef TAVO_MGR_MAINMANAGER_H
#define TAVO_MGR_MAINMANAGER_H

#include "TAVO_mgr_defaultStructure.h"

#include <memory>
#include <vector>

class QWidget;

// The registry of discovered boxes, one record per UDN, in the order they were first parsed.
// Entry i is shown in row i of the main window's server table.
class TAVO_mgr_mainManager
{
public:
    explicit TAVO_mgr_mainManager(QWidget *parent);

    // Adds the record (0), or replaces the entry with the same UDN (1).
    int addServer(TAVO_SERVER server);
    // Precondition: 0 <= index < getServerCount(). The pointer stays valid for the life of the
    // registry unless the entry is removed: a replace writes the new values into the same record.
    TAVO_SERVER *getServer(int index);
    void removeServer(int index);
    int getServerCount() const;

private:
    QWidget *parentWidget;
    // Each record lives in storage of its own, so the addresses handed out by getServer survive
    // both the growth of the list and the replacement of an entry.
    std::vector<std::unique_ptr<TAVO_SERVER>> serverList;
};

#endif

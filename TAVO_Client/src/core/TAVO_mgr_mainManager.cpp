#include "TAVO_mgr_mainManager.h"

TAVO_mgr_mainManager::TAVO_mgr_mainManager(QWidget *parent)
    : parentWidget(parent)
{
}

int TAVO_mgr_mainManager::addServer(TAVO_SERVER server)
{
    for (auto &entry : serverList) {
        if (entry->device.UDN == server.device.UDN) {
            // In place: the main window and the controller panel may hold this record's address.
            *entry = std::move(server);
            return 1;
        }
    }
    serverList.push_back(std::make_unique<TAVO_SERVER>(std::move(server)));
    return 0;
}

TAVO_SERVER *TAVO_mgr_mainManager::getServer(int index)
{
    return serverList[index].get();
}

void TAVO_mgr_mainManager::removeServer(int index)
{
    if (index >= 0 && index < getServerCount())
        serverList.erase(serverList.begin() + index);
}

int TAVO_mgr_mainManager::getServerCount() const
{
    return static_cast<int>(serverList.size());
}

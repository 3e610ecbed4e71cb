#include "TAVO_ui_boxesByAddress.h"

#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_rememberedBoxes.h"
#include "TAVO_ui_addBoxDialog.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_upnp_boxFinder.h"

#include <QMenu>
#include <QTableWidget>

namespace {

// A menu entry shows the text as it is: "&" would otherwise mark a shortcut letter.
QString menuText(const QString &text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

TAVO_ui_boxesByAddress::TAVO_ui_boxesByAddress(TAVO_ui_mainWindow *window, QTableWidget *serverList,
                                               TAVO_upnp_upnpControlPoint *discovery)
    : QObject(window)
    , window(window)
    , serverList(serverList)
    , discovery(discovery)
{
    serverList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(serverList, &QWidget::customContextMenuRequested, this, &TAVO_ui_boxesByAddress::showMenu);
    addRememberedBoxes();
}

void TAVO_ui_boxesByAddress::addBoxes(const QStringList &addresses)
{
    for (const QString &address : addresses)
        (new TAVO_upnp_boxFinder(discovery, address, this))->start();
}

void TAVO_ui_boxesByAddress::addRememberedBoxes()
{
    for (const TAVO_mgr_rememberedBoxes::Box &box : TAVO_mgr_rememberedBoxes::boxes())
        (new TAVO_upnp_boxFinder(discovery, box.address, this))->start();
}

void TAVO_ui_boxesByAddress::showMenu(const QPoint &position)
{
    auto *menu = new QMenu(serverList);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Add box by address…"), this, &TAVO_ui_boxesByAddress::showDialog);
    QMenu *forgetMenu = menu->addMenu(QStringLiteral("Forget a box added by address"));
    const QList<TAVO_mgr_rememberedBoxes::Box> remembered = TAVO_mgr_rememberedBoxes::boxes();
    for (const TAVO_mgr_rememberedBoxes::Box &box : remembered) {
        const QString text = box.name.isEmpty() ? box.address : box.name + QLatin1String(" (") + box.address + QLatin1Char(')');
        const QString address = box.address;
        forgetMenu->addAction(menuText(text), this, [address] { TAVO_mgr_rememberedBoxes::forget(address); });
    }
    forgetMenu->setEnabled(!remembered.isEmpty());
    menu->addSeparator();
    menu->addActions(serverList->actions());
    menu->popup(serverList->viewport()->mapToGlobal(position));
}

void TAVO_ui_boxesByAddress::showDialog()
{
    if (!dialog) {
        dialog = new TAVO_ui_addBoxDialog(discovery, window);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &TAVO_ui_addBoxDialog::boxAdded, this, &TAVO_ui_boxesByAddress::remember);
    }
    dialog->open();
    dialog->raise();
    dialog->activateWindow();
}

void TAVO_ui_boxesByAddress::remember(const QString &address, const QString &udn)
{
    TAVO_mgr_rememberedBoxes::remember({address, friendlyName(udn)});
}

QString TAVO_ui_boxesByAddress::friendlyName(const QString &udn) const
{
    for (int i = 0; i < window->mManager->getServerCount(); ++i) {
        if (window->mManager->getServer(i)->device.UDN == udn)
            return window->mManager->getServer(i)->device.friendlyName;
    }
    return QString();
}

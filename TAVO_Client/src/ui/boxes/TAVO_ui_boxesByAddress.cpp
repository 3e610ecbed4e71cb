#include "TAVO_ui_boxesByAddress.h"

#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_rememberedBoxes.h"
#include "TAVO_ui_addBoxDialog.h"
#include "TAVO_ui_mainWindow.h"
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
    connect(serverList->model(), &QAbstractItemModel::rowsInserted, this, &TAVO_ui_boxesByAddress::forgetListedUnanswered);
    addRememberedBoxes();
}

void TAVO_ui_boxesByAddress::addBoxes(const QStringList &addresses)
{
    for (const QString &address : addresses)
        find(address);
}

QString TAVO_ui_boxesByAddress::describe(TAVO_upnp_boxFinder::Result result, const QString &address) const
{
    const TAVO_SERVER *listed = listedButUnanswering(result, address);
    if (!listed)
        return TAVO_upnp_boxFinder::describe(result, address);
    return summarize(result, address)
           + QStringLiteral(" To add it by address, give %1:%2.").arg(listed->host, listed->port);
}

QString TAVO_ui_boxesByAddress::summarize(TAVO_upnp_boxFinder::Result result, const QString &address) const
{
    const TAVO_SERVER *listed = listedButUnanswering(result, address);
    if (!listed)
        return TAVO_upnp_boxFinder::summarize(result, address);
    return QStringLiteral("“%1” (%2) is listed already, but does not answer a search sent to it.")
        .arg(listed->device.friendlyName, listed->host);
}

void TAVO_ui_boxesByAddress::find(const QString &address)
{
    auto *finder = new TAVO_upnp_boxFinder(discovery, address, this);
    connect(finder, &TAVO_upnp_boxFinder::finished, this,
            [this, address](TAVO_upnp_boxFinder::Result result) { found(result, address); });
    finder->start();
}

// A box found, here or by discovery, needs no word.
void TAVO_ui_boxesByAddress::found(TAVO_upnp_boxFinder::Result result, const QString &address)
{
    using Result = TAVO_upnp_boxFinder::Result;
    if (result == Result::Added || result == Result::AlreadyListed)
        return;
    if (result != Result::NoAnswer || listedButUnanswering(result, address)) {
        Q_EMIT notAdded(summarize(result, address));
        return;
    }
    unanswered.append(address);
    Q_EMIT notAdded(unansweredText());
}

// A box that did not answer its address may be listed later, found by discovery or added by
// the user: it is no longer said not to answer.
void TAVO_ui_boxesByAddress::forgetListedUnanswered()
{
    const QString said = unansweredText();
    const auto listed = [this](const QString &address) { return listedAt(TAVO_upnp_boxFinder::hostOf(address)); };
    if (unanswered.removeIf(listed) > 0)
        Q_EMIT notAddedRevised(said, unansweredText());
}

QString TAVO_ui_boxesByAddress::unansweredText() const
{
    if (unanswered.isEmpty())
        return QString();
    return TAVO_upnp_boxFinder::summarize(TAVO_upnp_boxFinder::Result::NoAnswer, unanswered.join(QLatin1String(", ")));
}

const TAVO_SERVER *TAVO_ui_boxesByAddress::listedAt(const QString &host) const
{
    for (int i = 0; !host.isEmpty() && i < window->mManager->getServerCount(); ++i) {
        if (window->mManager->getServer(i)->host.compare(host, Qt::CaseInsensitive) == 0)
            return window->mManager->getServer(i);
    }
    return nullptr;
}

void TAVO_ui_boxesByAddress::addRememberedBoxes()
{
    for (const TAVO_mgr_rememberedBoxes::Box &box : TAVO_mgr_rememberedBoxes::boxes())
        find(box.address);
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
        dialog = new TAVO_ui_addBoxDialog(
            discovery, [this](TAVO_upnp_boxFinder::Result result, const QString &address) { return describe(result, address); },
            window);
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

const TAVO_SERVER *TAVO_ui_boxesByAddress::listedButUnanswering(TAVO_upnp_boxFinder::Result result,
                                                                const QString &address) const
{
    if (result != TAVO_upnp_boxFinder::Result::NoAnswer)
        return nullptr;
    return listedAt(TAVO_upnp_boxFinder::bareHost(address));
}

#ifndef TAVO_UI_BOXESBYADDRESS_H
#define TAVO_UI_BOXESBYADDRESS_H

#include "TAVO_upnp_boxFinder.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class QPoint;
class QTableWidget;
struct TAVO_SERVER;
class TAVO_ui_addBoxDialog;
class TAVO_ui_mainWindow;
class TAVO_upnp_upnpControlPoint;

// Boxes added by their address rather than found by discovery: from the command line (for this
// run), and from the server table's context menu, whose boxes are remembered and fetched again
// at every start until the menu forgets them.
class TAVO_ui_boxesByAddress : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_boxesByAddress(TAVO_ui_mainWindow *window, QTableWidget *serverList, TAVO_upnp_upnpControlPoint *discovery);

    // Adds these boxes as if discovered; they are not remembered.
    void addBoxes(const QStringList &addresses);

    // A finder's result as the user reads it, with what to do about it. A box that is listed
    // already (found on the network) but did not answer the search sent to its bare host is
    // said to be listed.
    QString describe(TAVO_upnp_boxFinder::Result result, const QString &address) const;
    // The same in one sentence.
    QString summarize(TAVO_upnp_boxFinder::Result result, const QString &address) const;

Q_SIGNALS:
    // A box of the command line or remembered from earlier runs that could not be added, and why.
    // Those that do not answer are named together.
    void notAdded(const QString &why);
    // What notAdded said no longer holds, since a box it named is listed now: `now` says what
    // still holds (empty when nothing does).
    void notAddedRevised(const QString &said, const QString &now);

private:
    void find(const QString &address);
    void found(TAVO_upnp_boxFinder::Result result, const QString &address);
    void forgetListedUnanswered();
    QString unansweredText() const;
    // The listed box at this host, or null.
    const TAVO_SERVER *listedAt(const QString &host) const;
    void addRememberedBoxes();
    void showMenu(const QPoint &position);
    void showDialog();
    void remember(const QString &address, const QString &udn);
    QString friendlyName(const QString &udn) const;
    const TAVO_SERVER *listedButUnanswering(TAVO_upnp_boxFinder::Result result, const QString &address) const;

    TAVO_ui_mainWindow *window;
    QTableWidget *serverList;
    TAVO_upnp_upnpControlPoint *discovery;
    QPointer<TAVO_ui_addBoxDialog> dialog;
    QStringList unanswered;  // addresses of the command line or remembered where no box answered
};

#endif

#ifndef TAVO_UI_BOXESBYADDRESS_H
#define TAVO_UI_BOXESBYADDRESS_H

#include <QObject>
#include <QPointer>
#include <QStringList>

class QPoint;
class QTableWidget;
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

private:
    void addRememberedBoxes();
    void showMenu(const QPoint &position);
    void showDialog();
    void remember(const QString &address, const QString &udn);
    QString friendlyName(const QString &udn) const;

    TAVO_ui_mainWindow *window;
    QTableWidget *serverList;
    TAVO_upnp_upnpControlPoint *discovery;
    QPointer<TAVO_ui_addBoxDialog> dialog;
};

#endif

#ifndef TAVO_UI_ADDBOXDIALOG_H
#define TAVO_UI_ADDBOXDIALOG_H

#include "TAVO_upnp_boxFinder.h"

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class TAVO_upnp_upnpControlPoint;

// "Add box by address": takes a host or URL, fetches and adds the box, and says plainly why
// when it cannot. Bad input is answered at once and changes nothing. Closes once the box is
// listed.
class TAVO_ui_addBoxDialog : public QDialog
{
    Q_OBJECT

public:
    TAVO_ui_addBoxDialog(TAVO_upnp_upnpControlPoint *discovery, QWidget *parent);

Q_SIGNALS:
    void boxAdded(const QString &address, const QString &udn);

private:
    void addBox();
    void finderFinished(TAVO_upnp_boxFinder::Result result, const QString &udn);
    void setAsking(bool asking);

    TAVO_upnp_upnpControlPoint *discovery;
    QLineEdit *addressEdit;
    QLabel *statusLabel;
    QPushButton *addButton;
    QString askedAddress;
};

#endif

#ifndef TAVO_UI_ADDBOXDIALOG_H
#define TAVO_UI_ADDBOXDIALOG_H

#include "TAVO_upnp_boxFinder.h"

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class TAVO_upnp_upnpControlPoint;

// "Add box by address": takes a host or URL, fetches and adds the box, and says plainly why
// when it cannot. Bad input is answered at once and changes nothing. Closes once the box is
// listed; a box that was listed already is said to be, and nothing is added.
class TAVO_ui_addBoxDialog : public QDialog
{
    Q_OBJECT

public:
    // How a finder's result is said to the user.
    using Describe = std::function<QString(TAVO_upnp_boxFinder::Result, const QString &address)>;

    TAVO_ui_addBoxDialog(TAVO_upnp_upnpControlPoint *discovery, Describe describe, QWidget *parent);

Q_SIGNALS:
    void boxAdded(const QString &address, const QString &udn);

private:
    void addBox();
    void finderFinished(TAVO_upnp_boxFinder::Result result, const QString &udn);
    void setAsking(bool asking);

    TAVO_upnp_upnpControlPoint *discovery;
    Describe describe;
    QLineEdit *addressEdit;
    QLabel *statusLabel;
    QPushButton *addButton;
    QString askedAddress;
};

#endif

#ifndef TAVO_UI_CONTROLLER_H
#define TAVO_UI_CONTROLLER_H

#include "TAVO_mgr_defaultStructure.h"

#include <QList>
#include <QWidget>

#include <functional>

class QKeyEvent;
class QPushButton;
class QUrl;
class TAVO_mgr_httpRequest;
struct TAVO_ui_keySlot;

namespace Ui {
class TAVO_ui_controller;
}

// The virtual remote control: the keys of one remote control of the current box on two pages.
// Every button comes from the key slot table; a click sends the slot's key to the box.
class TAVO_ui_controller : public QWidget
{
    Q_OBJECT

public:
    explicit TAVO_ui_controller(QWidget *parent = nullptr);
    ~TAVO_ui_controller() override;

    void initUI();
    void setParentWidget(QWidget *parent);
    void setCurrentServer(TAVO_SERVER *currentServer);
    // Loads the remote-controller description; false when it offers no controller.
    bool setXmlPath(QString *xmlPath);
    // True when a remote of this box is loaded and keys can go to it.
    bool steers(const TAVO_SERVER *box) const;

    QWidget *parentWidget = nullptr;
    QString rcuPath;
    TAVO_SERVER *server = nullptr;
    TAVO_KEYS keys;
    TAVO_mgr_httpRequest *httpRequest;
    QString strUrl;
    QUrl *url;
    // Asked before a key goes to the box, whether clicked, typed or sent by a channel tune: a
    // key it refuses is not sent. Unset, every key goes.
    std::function<bool(const char *keyName)> keyGate;

private Q_SLOTS:
    void on_ctrlSelect_currentIndexChanged(int index);

private:
    void keyPressEvent(QKeyEvent *e) override;
    void updateUI(TAVO_KEYS *keys, int keyNum);

    void fitTabTitles();
    void initButton(int slotIndex);
    void connectButton(int slotIndex);
    void showImage(int slotIndex, const char *image, const char *state);
    void sendKey(const char *keyName);
    void listControllers(int count);
    QString keyUrlPrefix(int controller) const;

    Ui::TAVO_ui_controller *ui;
    QList<QPushButton *> slotButtons;  // one per entry of the key slot table, same order
    int listedControllers = 0;         // entries of ctrlSelect, each backed by a parsed controller
};

#endif

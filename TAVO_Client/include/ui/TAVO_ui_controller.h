#ifndef TAVO_UI_CONTROLLER_H
#define TAVO_UI_CONTROLLER_H

#include "TAVO_mgr_defaultStructure.h"

#include <QWidget>

class QUrl;
class TAVO_mgr_httpRequest;

namespace Ui {
class TAVO_ui_controller;
}

// The virtual remote control: the keys of one remote control of the current box on two pages.
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

    QWidget *parentWidget = nullptr;
    QString rcuPath;
    TAVO_SERVER *server = nullptr;
    TAVO_KEYS keys;
    TAVO_mgr_httpRequest *httpRequest;
    QString strUrl;
    QUrl *url;

private:
    Ui::TAVO_ui_controller *ui;
};

#endif

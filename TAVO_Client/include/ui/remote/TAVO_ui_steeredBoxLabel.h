#ifndef TAVO_UI_STEEREDBOXLABEL_H
#define TAVO_UI_STEEREDBOXLABEL_H

#include <QObject>

class QLabel;
class TAVO_ui_controller;

// A line under the remote panel's keys that names the box its keys go to. It follows every
// load and every choice of controller, the moments the panel's key commands change address.
class TAVO_ui_steeredBoxLabel : public QObject
{
    Q_OBJECT

public:
    explicit TAVO_ui_steeredBoxLabel(TAVO_ui_controller *panel);

private:
    void showSteeredBox(int controller);

    TAVO_ui_controller *panel;
    QLabel *label;
};

#endif

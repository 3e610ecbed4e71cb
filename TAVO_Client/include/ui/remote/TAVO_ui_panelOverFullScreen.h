#ifndef TAVO_UI_PANELOVERFULLSCREEN_H
#define TAVO_UI_PANELOVERFULLSCREEN_H

#include <QObject>

class QWidget;
class TAVO_ui_fullScreenWidget;

// Keeps the remote panel in sight in full screen: while the picture is full screen a shown
// panel stands above the picture and its overlay and takes the keyboard, so that the first C
// hides the panel the user sees; when the panel goes, the overlay takes the keyboard back.
class TAVO_ui_panelOverFullScreen : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_panelOverFullScreen(QWidget *panel, TAVO_ui_fullScreenWidget *overlay, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void raisePanel();
    void panelHidden();
    void fullScreenLeft();
    void releasePanelsKeyboard();

    QWidget *panel;
    TAVO_ui_fullScreenWidget *overlay;
};

#endif

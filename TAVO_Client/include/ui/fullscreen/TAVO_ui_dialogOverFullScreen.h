#ifndef TAVO_UI_DIALOGOVERFULLSCREEN_H
#define TAVO_UI_DIALOGOVERFULLSCREEN_H

#include <QObject>
#include <QPointer>

class QDialog;
class QWidget;
class TAVO_ui_fullScreenWidget;

// Keeps a modal dialog that opens in full screen (a refused key's message, say) in the user's
// reach: it stands above the picture, its overlay and the remote panel and has the keyboard, so
// that Escape or Space closes it; when it closes, the window that had the keyboard (the overlay
// or the panel) takes it back.
class TAVO_ui_dialogOverFullScreen : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_dialogOverFullScreen(TAVO_ui_fullScreenWidget *overlay, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void dialogShown(QDialog *shown);
    void raiseDialog();
    void dialogHidden();
    void giveKeyboardBack();

    TAVO_ui_fullScreenWidget *overlay;
    QPointer<QDialog> dialog;  // the one shown over the picture
    QPointer<QWidget> keyboardHolder;  // the window that had the keyboard before it
    bool holderGrabbed = false;  // and held it with a grab
    bool raised = false;
};

#endif

#ifndef TAVO_UI_FULLSCREENWIDGET_H
#define TAVO_UI_FULLSCREENWIDGET_H

#include <QWidget>

namespace Ui {
class TAVO_ui_fullScreenWidget;
}

// The almost invisible window laid over the full-screen video: it takes the keyboard so that
// F returns to the normal window and C toggles the controller panel.
class TAVO_ui_fullScreenWidget : public QWidget
{
    Q_OBJECT

public:
    explicit TAVO_ui_fullScreenWidget(QWidget *parent = nullptr);
    ~TAVO_ui_fullScreenWidget() override;

    void setParentWidget(QWidget *parent);
    void initUI();
    // Becomes the window that the keys go to again, after another window had them.
    void takeKeyboard();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *parentWidget = nullptr;
    Ui::TAVO_ui_fullScreenWidget *ui;
};

#endif

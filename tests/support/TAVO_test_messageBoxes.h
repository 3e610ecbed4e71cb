#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Watches for modal message boxes while it lives, notes what each said and closes it with its
// OK button (or the answer set), so tests can run code that opens one.
class TAVO_test_messageBoxes : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString title;
        QString text;
        int buttons;
        QObject *owner;
        QString informativeText;
        int icon;
    };

    TAVO_test_messageBoxes();

    QList<Seen> seen;
    // Runs while each box is shown on screen, before it is closed (to take a screenshot, say).
    std::function<void(QMessageBox *)> beforeClose;
    // The button that answers a box that has it; one without it closes with OK.
    QMessageBox::StandardButton answer = QMessageBox::Ok;

private:
    void closeOpenBox();

    QTimer poll;
    bool showing = false;  // beforeClose runs the event loop, in which the poll goes on
};

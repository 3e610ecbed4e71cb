#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// Watches for modal message boxes while it lives, notes what each said and closes it with its
// OK button, so tests can run code that opens one.
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
    };

    TAVO_test_messageBoxes();

    QList<Seen> seen;

private:
    void closeOpenBox();

    QTimer poll;
};

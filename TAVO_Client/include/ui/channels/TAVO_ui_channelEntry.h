#ifndef TAVO_UI_CHANNELENTRY_H
#define TAVO_UI_CHANNELENTRY_H

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QKeyEvent;
class QWidget;

// Takes a channel number as a television does, from the digits typed on the picture or in full
// screen: they do not go out to the box one by one, the number grows with each digit and is
// complete after a short pause, or at once on Return or Enter, and then the whole number is
// tuned. Return with no digits typed stays the box's OK, and every other key passes on.
class TAVO_ui_channelEntry : public QObject
{
    Q_OBJECT

public:
    // As long as a television waits for the next digit: two or three digits typed at an ordinary
    // pace fit in it, and a single digit is not left waiting for long.
    static constexpr int defaultPauseMs = 2000;

    explicit TAVO_ui_channelEntry(QObject *parent = nullptr);

    // Takes the digits typed on these widgets. Filters installed later see the keys first, so
    // this goes after the remote's keyboard, whose digits it takes over.
    void takeDigitsOf(const QList<QWidget *> &places);
    void setPause(int milliseconds);
    int pause() const;

Q_SIGNALS:
    // The number so far, while digits come.
    void typing(const QString &digits);
    void entered(const QString &number);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool takes(const QKeyEvent *event) const;
    bool keyPressed(const QKeyEvent *event);
    void digit(QChar digit);
    void complete();

    QString digits;
    QTimer *pauseTimer;  // its child: the pause runs from the last digit typed
};

#endif

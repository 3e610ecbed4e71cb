#ifndef TAVO_UI_CHANNELENTRY_H
#define TAVO_UI_CHANNELENTRY_H

#include <QObject>
#include <QString>
#include <QTimer>

class TAVO_ui_channelTuner;

// Follows the digits that go out to the box, as a television's owner types a channel number on
// the picture or in full screen: they stay the box's keys, sent at once as today, and the
// receiver tunes them itself. This only reads what is typed: the number grows with each digit
// and is complete after a short pause, or at once when the confirming key goes out.
class TAVO_ui_channelEntry : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultPauseMs = 2000;

    explicit TAVO_ui_channelEntry(TAVO_ui_channelTuner *tuner, QObject *parent = nullptr);

    // Watches the digit keys and this confirming key (or none) of the remote loaded now.
    void follow(const QString &confirmKey);
    void setPause(int milliseconds);

Q_SIGNALS:
    // The number so far, while digits come.
    void typing(const QString &digits);
    void entered(const QString &number);

private:
    void digit(QChar digit);
    void complete();

    TAVO_ui_channelTuner *tuner;
    QString digits;
    QTimer pause;
    QList<QMetaObject::Connection> watched;
};

#endif

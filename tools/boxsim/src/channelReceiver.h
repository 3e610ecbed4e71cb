#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

// The receiver behind a box, as far as its channel is concerned: digit keys (NUM_0 … NUM_9)
// build a number, which it tunes when the confirming key comes, or, without one configured,
// when no digit came for the entry pause. It says what it shows in the picture through
// `shown` and writes the channel it is tuned to into a file, so that tests see a tune land.
class ChannelReceiver : public QObject
{
    Q_OBJECT

public:
    ChannelReceiver(const QString &confirmKey, int entryPauseMs, const QMap<QString, QString> &names,
                    const QString &tunedFile, QObject *parent = nullptr);

    // A key command the box accepted.
    void keyAccepted(const QString &key);
    // "Channel: 101 BBC One", or the digits being typed ("Channel: 10-").
    QString pictureLine() const;

Q_SIGNALS:
    void shown();

private:
    void entryEnded();
    void tune();

    QString m_confirmKey;
    QMap<QString, QString> m_names;
    QString m_tunedFile;
    QString m_entry;
    QString m_tuned;
    QTimer m_entryPause;
};

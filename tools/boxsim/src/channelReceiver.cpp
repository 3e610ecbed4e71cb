#include "channelReceiver.h"

#include <QSaveFile>

ChannelReceiver::ChannelReceiver(const QString &confirmKey, int entryPauseMs, const QMap<QString, QString> &names,
                                 const QString &tunedFile, QObject *parent)
    : QObject(parent),
      m_confirmKey(confirmKey),
      m_names(names),
      m_tunedFile(tunedFile)
{
    m_entryPause.setSingleShot(true);
    m_entryPause.setInterval(entryPauseMs);
    connect(&m_entryPause, &QTimer::timeout, this, &ChannelReceiver::entryEnded);
}

void ChannelReceiver::keyAccepted(const QString &key)
{
    static const QString digitKey = QStringLiteral("NUM_");
    if (key.size() == digitKey.size() + 1 && key.startsWith(digitKey) && key.back().isDigit()) {
        m_entry += key.back();
        m_entryPause.start();
        Q_EMIT shown();
    } else if (!m_confirmKey.isEmpty() && key == m_confirmKey && !m_entry.isEmpty()) {
        tune();
    }
}

// A receiver that waits for a confirming key forgets digits left without it.
void ChannelReceiver::entryEnded()
{
    if (m_confirmKey.isEmpty()) {
        tune();
        return;
    }
    m_entry.clear();
    Q_EMIT shown();
}

void ChannelReceiver::tune()
{
    m_entryPause.stop();
    m_tuned = m_entry;
    m_entry.clear();
    QSaveFile file(m_tunedFile);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(m_tuned.toUtf8() + '\n');
        file.commit();
    }
    Q_EMIT shown();
}

QString ChannelReceiver::pictureLine() const
{
    if (!m_entry.isEmpty())
        return QStringLiteral("Channel: %1-").arg(m_entry);
    if (m_tuned.isEmpty())
        return QStringLiteral("Channel: none");
    const QString name = m_names.value(m_tuned);
    return name.isEmpty() ? QStringLiteral("Channel: %1").arg(m_tuned) : QStringLiteral("Channel: %1 %2").arg(m_tuned, name);
}

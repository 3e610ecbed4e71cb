#include "TAVO_ui_channelEntry.h"

#include "TAVO_mgr_channelList.h"
#include "TAVO_ui_channelTuner.h"

#include <QPushButton>

TAVO_ui_channelEntry::TAVO_ui_channelEntry(TAVO_ui_channelTuner *tuner, QObject *parent)
    : QObject(parent)
    , tuner(tuner)
{
    pause.setSingleShot(true);
    pause.setInterval(defaultPauseMs);
    connect(&pause, &QTimer::timeout, this, &TAVO_ui_channelEntry::complete);
}

void TAVO_ui_channelEntry::setPause(int milliseconds)
{
    pause.setInterval(milliseconds);
}

void TAVO_ui_channelEntry::follow(const QString &confirmKey)
{
    for (const QMetaObject::Connection &connection : std::as_const(watched))
        disconnect(connection);
    watched.clear();
    for (char digitKey = '0'; digitKey <= '9'; ++digitKey) {
        if (QPushButton *button = tuner->buttonOf(QStringLiteral("NUM_") + QLatin1Char(digitKey)))
            watched << connect(button, &QPushButton::clicked, this, [this, digitKey] { digit(QLatin1Char(digitKey)); });
    }
    if (QPushButton *button = confirmKey.isEmpty() ? nullptr : tuner->buttonOf(confirmKey))
        watched << connect(button, &QPushButton::clicked, this, [this] {
            if (!digits.isEmpty())
                complete();
        });
}

void TAVO_ui_channelEntry::digit(QChar digit)
{
    // A receiver takes no more digits than a channel number has; it starts a new number.
    if (digits.size() == TAVO_mgr_channelList::maxNumberDigits)
        digits.clear();
    digits += digit;
    pause.start();
    Q_EMIT typing(digits);
}

void TAVO_ui_channelEntry::complete()
{
    pause.stop();
    const QString number = digits;
    digits.clear();
    Q_EMIT entered(number);
}

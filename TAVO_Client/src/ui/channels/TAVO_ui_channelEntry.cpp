#include "TAVO_ui_channelEntry.h"

#include "TAVO_mgr_channelList.h"

#include <QKeyEvent>
#include <QLoggingCategory>
#include <QWidget>

Q_LOGGING_CATEGORY(lcChannelEntry, "tavo.ui.channelentry", QtInfoMsg)

namespace {

// A digit with no modifier but the keypad's (Shift makes the digit on some layouts, as AZERTY).
bool isPlainDigit(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers
        = event->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier | Qt::ShiftModifier);
    return modifiers == Qt::NoModifier && event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9;
}

bool isConfirming(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return modifiers == Qt::NoModifier && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter);
}

} // namespace

TAVO_ui_channelEntry::TAVO_ui_channelEntry(QObject *parent)
    : QObject(parent)
    , pauseTimer(new QTimer(this))
{
    pauseTimer->setSingleShot(true);
    pauseTimer->setInterval(defaultPauseMs);
    connect(pauseTimer, &QTimer::timeout, this, &TAVO_ui_channelEntry::complete);
}

void TAVO_ui_channelEntry::takeDigitsOf(const QList<QWidget *> &places)
{
    for (QWidget *place : places)
        place->installEventFilter(this);
}

void TAVO_ui_channelEntry::setPause(int milliseconds)
{
    pauseTimer->setInterval(milliseconds);
}

int TAVO_ui_channelEntry::pause() const
{
    return pauseTimer->interval();
}

bool TAVO_ui_channelEntry::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyRelease:
        // The keys this takes are its own, up and down: no shortcut and no button sees them.
        if (!takes(static_cast<QKeyEvent *>(event)))
            return false;
        event->accept();
        return true;
    case QEvent::KeyPress:
        return keyPressed(static_cast<QKeyEvent *>(event));
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool TAVO_ui_channelEntry::takes(const QKeyEvent *event) const
{
    return isPlainDigit(event) || (isConfirming(event) && !digits.isEmpty());
}

bool TAVO_ui_channelEntry::keyPressed(const QKeyEvent *event)
{
    if (isPlainDigit(event)) {
        // A held digit is one digit, as on a television's remote.
        if (!event->isAutoRepeat())
            digit(QLatin1Char(char('0' + (event->key() - Qt::Key_0))));
        return true;
    }
    if (isConfirming(event) && !digits.isEmpty()) {
        complete();
        return true;
    }
    return false;
}

void TAVO_ui_channelEntry::digit(QChar digit)
{
    // A receiver takes no more digits than a channel number has; it starts a new number.
    if (digits.size() == TAVO_mgr_channelList::maxNumberDigits)
        digits.clear();
    digits += digit;
    pauseTimer->start();
    Q_EMIT typing(digits);
}

void TAVO_ui_channelEntry::complete()
{
    pauseTimer->stop();
    const QString number = digits;
    digits.clear();
    qCDebug(lcChannelEntry).noquote() << "Channel number typed:" << number;
    Q_EMIT entered(number);
}

#include "TAVO_ui_channelSwitcher.h"

#include "TAVO_ui_controller.h"
#include "TAVO_ui_keySlots.h"

#include <QLoggingCategory>
#include <QPushButton>

Q_LOGGING_CATEGORY(lcChannelSwitcher, "tavo.ui.channels", QtInfoMsg)

TAVO_ui_channelSwitcher::TAVO_ui_channelSwitcher(TAVO_ui_controller *panel, std::function<bool()> steerChosenBox,
                                                 QObject *parent)
    : QObject(parent)
    , panel(panel)
    , steerChosenBox(std::move(steerChosenBox))
{
    pace.setSingleShot(true);
    // A coarse timer may fire early, and a key sent early is a key an infra-red receiver misses.
    pace.setTimerType(Qt::PreciseTimer);
    connect(&pace, &QTimer::timeout, this, &TAVO_ui_channelSwitcher::pressNext);
}

QString TAVO_ui_channelSwitcher::tune(const QStringList &keys, int pauseMs)
{
    pace.stop();
    pending.clear();
    pendingKeys.clear();
    heldBack.clear();
    if (keys.isEmpty())
        return tr("The channel has no keys to send.");
    if (!steerChosenBox || !steerChosenBox())
        return tr("The box has no remote control to tune with.");
    QList<QPointer<QPushButton>> buttons;
    for (const QString &key : keys) {
        QPushButton *button = buttonOf(key);
        if (!button || !button->isEnabled())
            return tr("The box's remote control has no key %1.").arg(key);
        buttons << button;
    }
    qCDebug(lcChannelSwitcher).noquote() << "Tuning with" << keys.join(QLatin1Char(' ')) << "paced" << pauseMs << "ms";
    pending = buttons;
    pendingKeys = keys;
    pace.setInterval(pauseMs);
    pressNext();
    return heldBack;
}

void TAVO_ui_channelSwitcher::drop(const QString &reason)
{
    if (!pressing && !isTuning())
        return;
    qCDebug(lcChannelSwitcher).noquote() << "Dropped:" << reason;
    pace.stop();
    pending.clear();
    pendingKeys.clear();
    heldBack = reason;
    Q_EMIT interrupted(reason);
}

bool TAVO_ui_channelSwitcher::isTuning() const
{
    return !pending.isEmpty();
}

QPushButton *TAVO_ui_channelSwitcher::buttonOf(const QString &keyName) const
{
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (slot.hasKey() && keyName == QLatin1String(slot.keyName))
            return panel->findChild<QPushButton *>(slot.objectName());
    }
    return nullptr;
}

void TAVO_ui_channelSwitcher::pressNext()
{
    const QPointer<QPushButton> button = pending.takeFirst();
    const QString key = pendingKeys.takeFirst();
    if (!button || !button->isEnabled()) {
        pending.clear();
        pendingKeys.clear();
        Q_EMIT interrupted(tr("The box's remote control has no key %1.").arg(key));
        return;
    }
    // click() goes through pressed, released and clicked: the button's own path to the box.
    pressing = true;
    button->click();
    pressing = false;
    if (!heldBack.isEmpty())
        return;
    if (pending.isEmpty())
        Q_EMIT tuned();
    else
        pace.start();
}

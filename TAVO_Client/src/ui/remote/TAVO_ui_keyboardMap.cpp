#include "TAVO_ui_keyboardMap.h"

#include "TAVO_ui_keySlots.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QList>

namespace {

QList<QKeySequence> sequencesOf(const TAVO_ui_keySlot &slot)
{
    const QString keys = QLatin1String(slot.keyboard);
    return keys.isEmpty() ? QList<QKeySequence>() : QKeySequence::listFromString(keys, QKeySequence::PortableText);
}

const QList<QList<QKeySequence>> &tableSequences()
{
    static const QList<QList<QKeySequence>> sequences = [] {
        QList<QList<QKeySequence>> all;
        for (const TAVO_ui_keySlot &slot : tavoKeySlots)
            all.append(sequencesOf(slot));
        return all;
    }();
    return sequences;
}

} // namespace

namespace TAVO_ui_keyboardMap {

bool isPressed(QKeyCombination mapped, const QKeyEvent *event)
{
    if (mapped.key() != event->key())
        return false;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    return mapped.keyboardModifiers() == modifiers
           || (mapped.keyboardModifiers() == Qt::NoModifier && modifiers == Qt::ShiftModifier);
}

int slotFor(const QKeyEvent *event)
{
    const QList<QList<QKeySequence>> &sequences = tableSequences();
    for (int slotIndex = 0; slotIndex < sequences.size(); ++slotIndex) {
        for (const QKeySequence &sequence : sequences.at(slotIndex)) {
            if (isPressed(sequence[0], event))
                return slotIndex;
        }
    }
    return -1;
}

QString keysOf(const TAVO_ui_keySlot &slot)
{
    QStringList names;
    for (const QKeySequence &sequence : sequencesOf(slot))
        names << sequence.toString(QKeySequence::NativeText);
    return names.join(QLatin1String(" or "));
}

QString toolTip(const TAVO_ui_keySlot &slot)
{
    const QString caption = QCoreApplication::translate("TAVO_ui_controller", slot.caption);
    const QString keys = keysOf(slot);
    return keys.isEmpty() ? caption : caption + QLatin1String(" (") + keys + QLatin1Char(')');
}

QList<QPair<QString, QString>> helpRows()
{
    QList<QPair<QString, QString>> rows;
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        const QString keys = slot.hasKey() ? keysOf(slot) : QString();
        if (!keys.isEmpty())
            rows.append({keys, QCoreApplication::translate("TAVO_ui_controller", slot.caption)});
    }
    return rows;
}

} // namespace TAVO_ui_keyboardMap

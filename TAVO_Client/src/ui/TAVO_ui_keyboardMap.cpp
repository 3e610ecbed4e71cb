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

bool matches(QKeyCombination mapped, int key, Qt::KeyboardModifiers modifiers)
{
    if (mapped.key() != key)
        return false;
    return mapped.keyboardModifiers() == modifiers
           || (mapped.keyboardModifiers() == Qt::NoModifier && modifiers == Qt::ShiftModifier);
}

} // namespace

namespace TAVO_ui_keyboardMap {

int slotFor(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    const QList<QList<QKeySequence>> &sequences = tableSequences();
    for (int slotIndex = 0; slotIndex < sequences.size(); ++slotIndex) {
        for (const QKeySequence &sequence : sequences.at(slotIndex)) {
            if (matches(sequence[0], event->key(), modifiers))
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

} // namespace TAVO_ui_keyboardMap

#ifndef TAVO_UI_KEYBOARDMAP_H
#define TAVO_UI_KEYBOARDMAP_H

#include <QKeyCombination>
#include <QList>
#include <QPair>
#include <QString>

class QKeyEvent;
struct TAVO_ui_keySlot;

// The computer's keyboard as the box's remote: which panel button a key presses, read from the
// keyboard column of the key slot table.
namespace TAVO_ui_keyboardMap {

// The index in tavoKeySlots of the button this key presses, or -1. Keypad keys count as their
// main keys, and Shift is ignored where the table names no modifier (+ is Shift+= on many
// layouts).
int slotFor(const QKeyEvent *event);
// The keys that press the slot as the user reads them ("Return or Enter"); empty for none.
QString keysOf(const TAVO_ui_keySlot &slot);
// The button's tool tip: its caption and, when it has any, its keys.
QString toolTip(const TAVO_ui_keySlot &slot);
// The rows of the help: the keys, then the remote key they press ("Return or Enter", "OK").
QList<QPair<QString, QString>> helpRows();
// Whether the key pressed is the mapped key: Keypad and GroupSwitch do not count, and Shift is
// ignored where the mapped key names no modifier. The window's own keys match by the same rule.
bool isPressed(QKeyCombination mapped, const QKeyEvent *event);

} // namespace TAVO_ui_keyboardMap

#endif

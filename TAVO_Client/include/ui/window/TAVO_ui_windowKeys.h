#ifndef TAVO_UI_WINDOWKEYS_H
#define TAVO_UI_WINDOWKEYS_H

#include <QKeySequence>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

class QKeyEvent;

// The window's own keys (F, C, Esc, M, …), read from TAVO_ui_windowKeys.def: what each does,
// where and when it works, and how people read it.
namespace TAVO_ui_windowKeys {

enum Place : unsigned {
    InMainWindow = 1,
    InFullScreen = 2,
    InBoxList = 4,
    InPanel = 8,
};

enum class When { Always, FullScreenOnly, NormalOnly };

enum class Key {
#define TAVO_WINDOW_KEY(name, keys, places, when, repeats, menuText, help) name,
#include "TAVO_ui_windowKeys.def"
#undef TAVO_WINDOW_KEY
};

struct Row
{
    Key key;
    const char *keys;  // Qt's portable key sequence text, alternatives parted by "; "
    unsigned places;
    When when;
    bool repeats;
    const char *menuText;
    const char *help;
};

inline constexpr Row rows[] = {
#define TAVO_WINDOW_KEY(name, keys, places, when, repeats, menuText, help) \
    {Key::name, keys, places, When::when, repeats, menuText, help},
#include "TAVO_ui_windowKeys.def"
#undef TAVO_WINDOW_KEY
};

const Row &row(Key key);
QList<QKeySequence> sequences(Key key);
// The keys as people read them: "Return or Enter".
QString keysText(Key key);
// The window key that this key press is, where it was pressed (Place values joined) and in the
// main window's state; none when it is no window key there.
std::optional<Key> pressed(const QKeyEvent *event, unsigned places, bool fullScreen);
// Whether the event's key is one of the window key's, whatever the modifiers: f and F both are F.
bool isKeyOf(Key key, const QKeyEvent *event);
// The rows of the help: the keys, then what they do.
QList<QPair<QString, QString>> helpRows();

} // namespace TAVO_ui_windowKeys

#endif

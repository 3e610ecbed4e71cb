#include "TAVO_ui_windowKeys.h"

#include "TAVO_ui_keyboardMap.h"

#include <QKeyEvent>

#include <algorithm>

namespace TAVO_ui_windowKeys {

namespace {

bool worksNow(When when, bool fullScreen)
{
    return when == When::Always || (when == When::FullScreenOnly) == fullScreen;
}

} // namespace

const Row &row(Key key)
{
    return rows[int(key)];
}

QList<QKeySequence> sequences(Key key)
{
    return QKeySequence::listFromString(QLatin1String(row(key).keys), QKeySequence::PortableText);
}

QString keysText(Key key)
{
    QStringList names;
    for (const QKeySequence &sequence : sequences(key))
        names << sequence.toString(QKeySequence::NativeText);
    return names.join(QLatin1String(" or "));
}

std::optional<Key> pressed(const QKeyEvent *event, unsigned places, bool fullScreen)
{
    for (const Row &candidate : rows) {
        if (!(candidate.places & places) || !worksNow(candidate.when, fullScreen))
            continue;
        for (const QKeySequence &sequence : sequences(candidate.key)) {
            if (TAVO_ui_keyboardMap::isPressed(sequence[0], event))
                return candidate.key;
        }
    }
    return std::nullopt;
}

bool isKeyOf(Key key, const QKeyEvent *event)
{
    const QList<QKeySequence> keys = sequences(key);
    return std::any_of(keys.cbegin(), keys.cend(),
                       [event](const QKeySequence &sequence) { return sequence[0].key() == event->key(); });
}

QList<QPair<QString, QString>> helpRows()
{
    QList<QPair<QString, QString>> help;
    for (const Row &each : rows)
        help.append({keysText(each.key), QLatin1String(each.help)});
    return help;
}

} // namespace TAVO_ui_windowKeys

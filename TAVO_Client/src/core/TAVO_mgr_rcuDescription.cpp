#include "TAVO_mgr_rcuDescription.h"

#include <algorithm>
#include <iterator>

#include <QDomElement>

namespace {

void tell(const TAVO_mgr_rcuDescription::LineSink &line, const QString &text)
{
    if (line)
        line(text);
}

// Every key whose name occurs anywhere in the text is supported; no separator is interpreted,
// so a name that contains another ("VOL_UP" holds "UP") turns both on.
void readSupportKeys(const QString &text, TAVO_KEY &controller, const TAVO_mgr_rcuDescription::LineSink &line)
{
    for (const TAVO_KEY_FLAG &key : tavoKeyFlags) {
        const QString name = QLatin1String(key.name);
        const bool supported = text.contains(name, Qt::CaseSensitive);
        controller.*key.flag = supported;
        if (supported)
            tell(line, name);
    }
}

void readController(const QDomElement &element, TAVO_KEY &controller, const TAVO_mgr_rcuDescription::LineSink &line)
{
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString name = child.tagName();
        const QString text = child.text();
        if (name == QLatin1String("id")) {
            tell(line, QLatin1String("id = ") + text);
            controller.keyId = text;
        } else if (name == QLatin1String("name")) {
            tell(line, QLatin1String("name = ") + text);
            controller.keyName = text;
        } else if (name == QLatin1String("supportKeys")) {
            tell(line, QLatin1String("supportKeys = ") + text);
            readSupportKeys(text, controller, line);
        } else {
            tell(line, name);
        }
    }
}

} // namespace

int TAVO_mgr_rcuDescription::read(const QDomElement &root, TAVO_KEYS &keys, const LineSink &line)
{
    keys.version = root.attribute(QStringLiteral("version"));
    int controllers = 0;
    for (QDomElement child = root.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString name = child.tagName();
        if (name == QLatin1String("totalAmount")) {
            tell(line, QLatin1String("totalAmount = ") + child.text());
            keys.totalAmount = child.text();
        } else if (name == QLatin1String("defaultId")) {
            tell(line, QLatin1String("defaultId = ") + child.text());
            keys.defaultId = child.text();
        } else if (name == QLatin1String("remoteController") && controllers < TAVO_KEYS::maxControllers) {
            // The record has room for ten controllers; later ones are not read at all.
            readController(child, keys.keys[controllers++], line);
        }
    }
    return controllers;
}

int TAVO_mgr_rcuDescription::usableControllers(const TAVO_KEYS &keys, int parsedControllers)
{
    bool isNumber = false;
    const int totalAmount = keys.totalAmount.toInt(&isNumber, 10);
    if (!isNumber || totalAmount <= 0)
        return 0;
    return qMin(totalAmount, parsedControllers);
}

int TAVO_mgr_rcuDescription::defaultController(const TAVO_KEYS &keys, int count)
{
    for (int controller = 0; controller < count; ++controller) {
        if (keys.keys[controller].keyId == keys.defaultId)
            return controller;
    }
    return 0;
}

bool TAVO_mgr_rcuDescription::isKnownKey(const QString &keyName)
{
    return std::any_of(std::cbegin(tavoKeyFlags), std::cend(tavoKeyFlags),
                       [&keyName](const TAVO_KEY_FLAG &key) { return keyName == QLatin1String(key.name); });
}

bool TAVO_mgr_rcuDescription::hasKey(const TAVO_KEY &controller, const QString &keyName)
{
    for (const TAVO_KEY_FLAG &key : tavoKeyFlags) {
        if (keyName == QLatin1String(key.name))
            return controller.*key.flag;
    }
    return false;
}

#ifndef TAVO_MGR_RCUDESCRIPTION_H
#define TAVO_MGR_RCUDESCRIPTION_H

#include "TAVO_mgr_defaultStructure.h"

#include <functional>

class QDomElement;

// The fields of a box's remote-controller description, read into its key record, and the rules
// that choose a controller from it. Needs no window, so that the remote panel and every program
// that tunes read a description and choose its controller the same way.
namespace TAVO_mgr_rcuDescription {

using LineSink = std::function<void(const QString &line)>;

// Fills keys in place from the description's root element and returns how many controllers
// this document supplied (entries 0 to result - 1 of keys.keys); what the document does not
// mention stays as it was. Each field read is told to `line`, when given.
int read(const QDomElement &root, TAVO_KEYS &keys, const LineSink &line = {});
// The description's own count, but never more controllers than this very document supplied:
// entries an earlier description left in the record belong to another box or another version.
// 0 when the count is no positive number.
int usableControllers(const TAVO_KEYS &keys, int parsedControllers);
// The controller named by defaultId among the first `count`, or the first when none has that id.
int defaultController(const TAVO_KEYS &keys, int count);
// Whether the controller's supportKeys turned the key's flag on; false for a name of no key.
bool hasKey(const TAVO_KEY &controller, const QString &keyName);
// Whether the name is one of the key table's (TAVO_mgr_keyNames.def), as a key command names it.
bool isKnownKey(const QString &keyName);

} // namespace TAVO_mgr_rcuDescription

#endif

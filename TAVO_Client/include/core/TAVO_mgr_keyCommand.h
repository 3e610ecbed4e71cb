#ifndef TAVO_MGR_KEYCOMMAND_H
#define TAVO_MGR_KEYCOMMAND_H

#include <QString>
#include <QUrl>

// The one form of a key command: "http://<host>:<rcuPort>/?src=1&ver=<version>&id=<controller>&key=<key>".
// The version and the controller's id are the box's own text: each is percent-encoded as one
// value of the query, so that neither can add a parameter or end the URL.
namespace TAVO_mgr_keyCommand {

// The command up to and including "key=", or an empty text when the port is no port (then no
// command can be built for the box).
QString prefix(const QString &host, const QString &rcuPort, const QString &version, const QString &controllerId);
// The command of one key, from a prefix built above; invalid for an empty prefix.
QUrl url(const QString &prefix, const QString &keyName);

} // namespace TAVO_mgr_keyCommand

#endif

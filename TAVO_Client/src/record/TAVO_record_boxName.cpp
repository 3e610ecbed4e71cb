#include "TAVO_record_boxName.h"

#include <QRegularExpression>

namespace {

QString notAddressAndPort(const QString &text)
{
    return QStringLiteral("--box: %1 is not an address:port such as 192.168.1.20:49152 or [fe80::1]:49152").arg(text);
}

bool readDescriptionUrl(const QString &text, TAVO_record_boxName *name, QString *problem)
{
    const QUrl url(text, QUrl::StrictMode);
    // The box's web page ("http://host/") is no description; a user name would go nowhere.
    const bool usable = url.isValid() && url.scheme() == QLatin1String("http") && !url.host().isEmpty()
                        && url.userInfo().isEmpty() && url.port() != 0 && !url.path().isEmpty()
                        && url.path() != QLatin1String("/");
    if (!usable) {
        *problem = QStringLiteral("--box: %1 is not the http:// URL of a box's description").arg(text);
        return false;
    }
    name->kind = TAVO_record_boxName::Kind::Description;
    name->description = url;
    return true;
}

bool readAddressAndPort(const QString &host, const QString &port, TAVO_record_boxName *name, QString *problem)
{
    bool isNumber = false;
    const int number = port.toInt(&isNumber);
    if (!name->address.setAddress(host) || !isNumber || number < 1 || number > 65535) {
        *problem = notAddressAndPort(name->text);
        return false;
    }
    name->kind = TAVO_record_boxName::Kind::AddressAndPort;
    name->port = number;
    return true;
}

} // namespace

bool TAVO_record_boxName::read(const QString &text, TAVO_record_boxName *name, QString *problem)
{
    *name = TAVO_record_boxName();
    name->text = text.trimmed();
    if (name->text.isEmpty()) {
        *problem = QStringLiteral("--box is required");
        return false;
    }
    if (name->text.contains(QLatin1String("://")))
        return readDescriptionUrl(name->text, name, problem);
    // Only what looks like an address with a port is read as one: "[", or four dotted numbers
    // and a colon. A friendly name may hold colons of its own ("News 24: Berlin").
    static const QRegularExpression addressAndPort(
        QStringLiteral("^(?:\\[([^\\]]*)\\]|([0-9]{1,3}(?:\\.[0-9]{1,3}){3})):(.*)$"));
    const QRegularExpressionMatch match = addressAndPort.match(name->text);
    if (match.hasMatch())
        return readAddressAndPort(match.captured(1) + match.captured(2), match.captured(3), name, problem);
    if (name->text.startsWith(QLatin1Char('['))) {
        *problem = notAddressAndPort(name->text);
        return false;
    }
    if (name->address.setAddress(name->text))
        name->kind = Kind::Address;
    return true;
}

#include "TAVO_mgr_boxName.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {

bool looksLikeAddress(const QString &text)
{
    if (text.contains(QLatin1String("://")))
        return true;
    static const QRegularExpression blank(QStringLiteral("\\s"));
    if (text.startsWith(QLatin1String("uuid:"), Qt::CaseInsensitive) || text.contains(blank))
        return false;
    static const QRegularExpression withPort(QStringLiteral(":[0-9]+$"));
    // An IPv4 address has dots; QHostAddress would also take "42" for 0.0.0.42.
    return text.startsWith(QLatin1Char('[')) || QHostAddress(text).protocol() == QAbstractSocket::IPv6Protocol
           || withPort.match(text).hasMatch() || text.contains(QLatin1Char('.'));
}

} // namespace

bool TAVO_mgr_boxName::read(const QString &text, TAVO_mgr_boxName *name, QString *problem)
{
    *name = TAVO_mgr_boxName();
    name->text = text.trimmed();
    if (name->text.isEmpty()) {
        *problem = QStringLiteral("--box is required");
        return false;
    }
    if (!looksLikeAddress(name->text))
        return true;
    name->address = TAVO_mgr_boxAddress::read(name->text);
    if (!name->address.isUsable()) {
        *problem = QStringLiteral("--box: ") + name->address.error;
        return false;
    }
    name->kind = name->address.description.isValid() ? Kind::Description
                 : name->address.port == -1          ? Kind::Address
                                                     : Kind::AddressAndPort;
    return true;
}

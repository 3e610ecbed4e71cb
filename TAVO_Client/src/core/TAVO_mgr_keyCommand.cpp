#include "TAVO_mgr_keyCommand.h"

#include <algorithm>

namespace {

QString queryValue(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

bool isPort(const QString &text)
{
    const bool digitsOnly = !text.isEmpty() && text.size() <= 5
                            && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return digitsOnly && text.toInt() >= 1 && text.toInt() <= 65535;
}

// An IPv6 address stands in brackets, or its colons would be read as the port's.
QString hostPart(const QString &host)
{
    return host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
}

} // namespace

QString TAVO_mgr_keyCommand::prefix(const QString &host, const QString &rcuPort, const QString &version,
                                    const QString &controllerId)
{
    if (!isPort(rcuPort))
        return QString();
    return QLatin1String("http://") + hostPart(host) + QLatin1Char(':') + rcuPort + QLatin1String("/?src=1&ver=")
           + queryValue(version) + QLatin1String("&id=") + queryValue(controllerId) + QLatin1String("&key=");
}

QUrl TAVO_mgr_keyCommand::url(const QString &prefix, const QString &keyName)
{
    if (prefix.isEmpty())
        return QUrl();
    return QUrl(prefix + queryValue(keyName), QUrl::StrictMode);
}

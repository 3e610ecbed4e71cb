#include "TAVO_mgr_boxAddress.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {

QString notAnAddress(const QString &text)
{
    return QStringLiteral("“%1” is not a host, host:port or http:// URL.").arg(text);
}

// The host and port as typed, before QUrl makes "1.2.3" into 1.2.0.3 or drops an empty port.
QString authorityOf(const QString &url)
{
    const int start = url.indexOf(QLatin1String("://")) + 3;
    static const QRegularExpression authorityEnd(QStringLiteral("[/?#]"));
    const int end = url.indexOf(authorityEnd, start);
    return url.mid(start, end < 0 ? -1 : end - start);
}

// What QUrl takes but no box can be at: "host:" with no port, or a host of digits and dots
// that is no whole IPv4 address.
bool isHalfWritten(const QString &authority)
{
    if (authority.endsWith(QLatin1Char(':')))
        return true;
    if (authority.startsWith(QLatin1Char('[')))
        return false;
    const QString host = authority.section(QLatin1Char(':'), 0, 0);
    static const QRegularExpression digitsAndDots(QStringLiteral("^[0-9.]+$"));
    if (!digitsAndDots.match(host).hasMatch())
        return false;
    QHostAddress address;
    return host.count(QLatin1Char('.')) != 3 || !address.setAddress(host);
}

} // namespace

TAVO_mgr_boxAddress TAVO_mgr_boxAddress::read(const QString &text)
{
    TAVO_mgr_boxAddress address;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        address.error = QStringLiteral("Type the box's address: a host name or IP address, host:port, "
                                       "or the URL of its description.");
        return address;
    }
    // A bare IPv6 address has colons of its own and would be taken for host:port.
    const QHostAddress literal(trimmed);
    if (literal.protocol() == QAbstractSocket::IPv6Protocol) {
        address.host = literal.toString();
        return address;
    }
    const bool hasScheme = trimmed.contains(QLatin1String("://"));
    const QString withScheme = hasScheme ? trimmed : QLatin1String("http://") + trimmed;
    const QUrl url(withScheme, QUrl::StrictMode);
    const bool plainHostAndPort = hasScheme || (url.path().isEmpty() && !url.hasQuery());
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasFragment() || url.port() == 0
        || !plainHostAndPort || isHalfWritten(authorityOf(withScheme))) {
        address.error = notAnAddress(trimmed);
        return address;
    }
    if (url.scheme() != QLatin1String("http")) {
        address.error = QStringLiteral("“%1”: boxes describe themselves over plain http://.").arg(trimmed);
        return address;
    }
    if (url.path().isEmpty() || url.path() == QLatin1String("/")) {
        address.host = url.host();
        address.port = url.port();
    } else {
        address.description = url;
    }
    return address;
}

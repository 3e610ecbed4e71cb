#include "TAVO_tuner_options.h"

#include "TAVO_mgr_commandLine.h"
#include "TAVO_mgr_streamSettings.h"

#include <QCommandLineParser>
#include <QRegularExpression>

bool TAVO_tuner_options::parse(const QStringList &arguments, TAVO_tuner_options *options, QString *problem)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves the streamer boxes' channels as a network tuner over HTTP."));
    const QCommandLineOption box(QStringLiteral("box"),
                                 QStringLiteral("Serve this box only (repeatable): friendly name, UDN, IP address, address:port or the URL of its description."),
                                 QStringLiteral("box"));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Listen on ADDRESS[:PORT] (default 127.0.0.1:%1).").arg(defaultPort),
                                    QStringLiteral("address"));
    const QCommandLineOption allowEncrypted(QStringLiteral("allow-encrypted"),
                                            QStringLiteral("Serve the decrypted stream of encrypted boxes too."));
    const QCommandLineOption setPassword(QStringLiteral("set-password"),
                                         QStringLiteral("Read the web page's password from standard input, keep it and end."));
    if (!TAVO_mgr_commandLine::parse(parser,
                                     QList<QCommandLineOption>{box, listen, allowEncrypted, setPassword}
                                         + TAVO_mgr_streamSettings::commandLineOptions(),
                                     arguments, problem)
        || !TAVO_mgr_streamSettings::readCommandLine(parser, &options->streamSettings, problem))
        return false;
    for (const QString &text : parser.values(box)) {
        TAVO_mgr_boxName name;
        if (!TAVO_mgr_boxName::read(text, &name, problem))
            return false;
        options->boxes.append(name);
    }
    if (parser.isSet(listen) && !readListen(parser.value(listen), &options->listenAddress, &options->port)) {
        *problem = QStringLiteral("--listen takes ADDRESS[:PORT], such as 0.0.0.0:%1 or [::1]").arg(defaultPort);
        return false;
    }
    options->allowEncrypted = parser.isSet(allowEncrypted);
    options->setPassword = parser.isSet(setPassword);
    return true;
}

bool TAVO_tuner_options::readListen(const QString &text, QHostAddress *address, quint16 *port)
{
    static const QRegularExpression form(QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([0-9.]*))(?::([0-9]{1,5}))?$"));
    // A bare IPv6 address holds colons of its own: it is read whole, without a port.
    const QHostAddress bare(text);
    if (!text.startsWith(QLatin1Char('[')) && bare.protocol() == QAbstractSocket::IPv6Protocol) {
        *address = bare;
        return true;
    }
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    const QString host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    QHostAddress read = host.isEmpty() ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(host);
    if (read.isNull() || (!match.captured(1).isEmpty() && read.protocol() != QAbstractSocket::IPv6Protocol))
        return false;
    if (match.hasCaptured(3)) {
        const int number = match.captured(3).toInt();
        if (number < 1 || number > 65535)
            return false;
        *port = quint16(number);
    }
    *address = read;
    return true;
}

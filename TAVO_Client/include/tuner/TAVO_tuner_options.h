#ifndef TAVO_TUNER_OPTIONS_H
#define TAVO_TUNER_OPTIONS_H

#include "TAVO_mgr_streamSettings.h"
#include "TAVO_mgr_boxName.h"

#include <QHostAddress>
#include <QList>
#include <QStringList>

// What the command line asks of the tuner service.
struct TAVO_tuner_options
{
    // The port HDHomeRun-style tuners are often given by their users; any free one will do.
    static constexpr quint16 defaultPort = 5004;

    QList<TAVO_mgr_boxName> boxes;  // --box, repeated; none: every box that answers
    QHostAddress listenAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 port = defaultPort;
    bool allowEncrypted = false;
    bool setPassword = false;  // --set-password: read the web page's password from stdin, keep it and end
    // --video-codec, --resolution, ...: for every box, each in place of its remembered one.
    TAVO_mgr_streamSettings::Given streamSettings;

    // Fills options from arguments; false with `problem` set when they cannot be used.
    // --help and --version print and exit.
    static bool parse(const QStringList &arguments, TAVO_tuner_options *options, QString *problem);
    // "ADDRESS", "ADDRESS:PORT", "[IPV6]:PORT" or ":PORT"; false when it is none of them.
    static bool readListen(const QString &text, QHostAddress *address, quint16 *port);
};

#endif

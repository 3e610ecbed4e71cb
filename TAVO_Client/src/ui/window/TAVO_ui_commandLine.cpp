#include "TAVO_ui_commandLine.h"

#include "TAVO_upnp_boxFinder.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace TAVO_ui_commandLine {

const QString windowTitle = QStringLiteral("KLD-450R v" TAVO_VERSION);

namespace {

const QCommandLineOption boxOption(
    QStringLiteral("box"),
    QStringLiteral("Adds the box at ADDRESS, for a box that discovery cannot see: a host, host:port, or the "
                   "URL of its description. A host is asked for its description by an SSDP search on its "
                   "UDP port 1900; a host:port that does not answer is tried at /description.xml. "
                   "May be given more than once."),
    QStringLiteral("ADDRESS"));

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Client for KLD-450R network streamer boxes: finds them on the local network by UPnP, "
                       "plays their stream, sends remote-control keys and shows their web page."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(boxOption);
}

// --version prints the application's name and version: together they are the window title.
void nameApplication()
{
    QCoreApplication::setApplicationName(windowTitle.section(QLatin1Char(' '), 0, 0));
    QCoreApplication::setApplicationVersion(windowTitle.section(QLatin1Char(' '), 1));
}

void fail(const QString &message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    std::exit(EXIT_FAILURE);
}

} // namespace

void answerHelpAndVersion(int argc, char *argv[])
{
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            asked = asked || std::strcmp(argv[i], option) == 0;
    }
    if (!asked)
        return;
    QCoreApplication application(argc, argv);
    nameApplication();
    QCommandLineParser parser;
    describeOptions(parser);
    // Ends the process after printing the help or the version (or why the line is wrong).
    parser.process(application);
}

QStringList boxAddresses(const QCoreApplication &application)
{
    const QString programName = QCoreApplication::applicationName();
    nameApplication();
    QCommandLineParser parser;
    describeOptions(parser);
    const bool understood = parser.parse(application.arguments());
    QCoreApplication::setApplicationName(programName);
    if (!understood)
        fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first());
    const QStringList addresses = parser.values(boxOption);
    for (const QString &address : addresses) {
        const QString error = TAVO_upnp_boxFinder::addressError(address);
        if (!error.isEmpty())
            fail(QStringLiteral("--box: ") + error);
    }
    return addresses;
}

} // namespace TAVO_ui_commandLine

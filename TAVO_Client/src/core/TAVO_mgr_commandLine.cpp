#include "TAVO_mgr_commandLine.h"

bool TAVO_mgr_commandLine::parse(QCommandLineParser &parser, const QList<QCommandLineOption> &options,
                                 const QStringList &arguments, QString *problem)
{
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions(options);
    if (!parser.parse(arguments)) {
        *problem = parser.errorText();
        return false;
    }
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        *problem = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().constFirst());
        return false;
    }
    return true;
}

#ifndef TAVO_MGR_COMMANDLINE_H
#define TAVO_MGR_COMMANDLINE_H

#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

// What every command does with its command line alike: --help and --version print and exit, and
// an option that cannot be understood or an argument that is no option's is a usage error, which
// the command ends with its own status (Qt's own handling would end it with another).
namespace TAVO_mgr_commandLine {

// Reads `arguments` with `options`, --help and --version; false with the problem on a usage error.
bool parse(QCommandLineParser &parser, const QList<QCommandLineOption> &options, const QStringList &arguments,
           QString *problem);

} // namespace TAVO_mgr_commandLine

#endif

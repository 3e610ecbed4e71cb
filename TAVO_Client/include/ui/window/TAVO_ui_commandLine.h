#ifndef TAVO_UI_COMMANDLINE_H
#define TAVO_UI_COMMANDLINE_H

#include <QString>
#include <QStringList>

class QCoreApplication;

// The client's command line: --help, --version and --box ADDRESS (repeatable). Without options
// the client only discovers.
namespace TAVO_ui_commandLine {

// The window title, which is also the version.
extern const QString windowTitle;

// Answers --help and --version and ends the process, before any window or display is needed.
// Returns when neither was asked for.
void answerHelpAndVersion(int argc, char *argv[]);

// The --box addresses, after Qt has taken its own options; ends the process with a message and
// status 1 on an unknown option or an address that cannot be a box's.
QStringList boxAddresses(const QCoreApplication &application);

} // namespace TAVO_ui_commandLine

#endif

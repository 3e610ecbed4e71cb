#include "TAVO_ui_webPage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcWebPage, "tavo.ui.web", QtInfoMsg)

namespace {

using CreateWebPage = QWidget *(*)();

const char webPageModule[] = "tavo_webpage";

// Beside the program in the build folder; installed, in the prefix's module folder.
QString webPageModulePath()
{
    const QString programFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    if (QFileInfo::exists(programFolder + QLatin1String(webPageModule) + QLatin1String(".so")))
        return programFolder + QLatin1String(webPageModule);
    return programFolder + QLatin1String(TAVO_MODULES_FROM_PROGRAM "/") + QLatin1String(webPageModule);
}

// Never unloaded: the browser window lives until the process ends.
QLibrary &webPageModuleLibrary()
{
    static QLibrary module(webPageModulePath());
    return module;
}

CreateWebPage webPageFactory()
{
    static const auto factory = reinterpret_cast<CreateWebPage>(webPageModuleLibrary().resolve("tavoCreateWebPage"));
    if (!factory)
        qCDebug(lcWebPage).noquote() << "Cannot load the web page module:" << TAVO_ui_webPage::loadProblem();
    return factory;
}

// The two switches the web engine itself reads; any value of the variable counts.
bool sandboxSwitchedOff()
{
    if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return true;
    const QStringList flags = qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").simplified().split(QLatin1Char(' '));
    return flags.contains(QLatin1String("--no-sandbox"));
}

// The web engine will not run as root with its sandbox on, and it refuses by ending the whole
// process as it starts. So the client asks first and keeps the sandbox: the page comes from the
// network, and without the sandbox a page that broke the engine would hold the machine.
QString rootRefusal()
{
    if ((getuid() != 0 && geteuid() != 0) || sandboxSwitchedOff())
        return QString();
    return QStringLiteral("The web engine refuses to run as root without its sandbox, which keeps a web page "
                          "away from the rest of the computer. Run the client as an ordinary user to see the "
                          "box's web page.");
}

} // namespace

QWidget *TAVO_ui_webPage::create()
{
    if (!rootRefusal().isEmpty()) {
        qCDebug(lcWebPage).noquote() << "Web page not shown:" << rootRefusal();
        return nullptr;
    }
    const CreateWebPage factory = webPageFactory();
    return factory ? factory() : nullptr;
}

QString TAVO_ui_webPage::loadProblem()
{
    const QString refusal = rootRefusal();
    return refusal.isEmpty() ? webPageModuleLibrary().errorString() : refusal;
}

void TAVO_ui_webPage::load(QWidget *view, const QUrl &url)
{
    view->setProperty("url", url);
}

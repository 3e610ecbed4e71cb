#include "TAVO_ui_webPage.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLibrary>
#include <QUrl>
#include <QWidget>

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
        qDebug().noquote() << "Cannot load the web page module:" << TAVO_ui_webPage::loadProblem();
    return factory;
}

} // namespace

QWidget *TAVO_ui_webPage::create()
{
    const CreateWebPage factory = webPageFactory();
    return factory ? factory() : nullptr;
}

QString TAVO_ui_webPage::loadProblem()
{
    return webPageModuleLibrary().errorString();
}

void TAVO_ui_webPage::load(QWidget *view, const QUrl &url)
{
    view->setProperty("url", url);
}

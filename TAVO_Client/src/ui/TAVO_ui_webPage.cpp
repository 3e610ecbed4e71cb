#include "TAVO_ui_webPage.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibrary>
#include <QUrl>
#include <QWidget>

namespace {

using CreateWebPage = QWidget *(*)();

const char webPageModule[] = "tavo_webpage";

// Never unloaded: the browser window lives until the process ends.
QLibrary &webPageModuleLibrary()
{
    static QLibrary module(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(webPageModule));
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

#include "TAVO_ui_webPage.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibrary>
#include <QUrl>
#include <QWidget>

namespace {

using CreateWebPage = QWidget *(*)();

const char webPageModule[] = "tavo_webpage";

CreateWebPage webPageFactory()
{
    // Never unloaded: the browser window lives until the process ends.
    static QLibrary module(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(webPageModule));
    static const auto factory = reinterpret_cast<CreateWebPage>(module.resolve("tavoCreateWebPage"));
    if (!factory)
        qDebug().noquote() << "Cannot load the web page module:" << module.errorString();
    return factory;
}

} // namespace

QWidget *TAVO_ui_webPage::create()
{
    const CreateWebPage factory = webPageFactory();
    return factory ? factory() : nullptr;
}

void TAVO_ui_webPage::load(QWidget *view, const QUrl &url)
{
    view->setProperty("url", url);
}

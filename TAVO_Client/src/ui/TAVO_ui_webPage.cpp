#include "TAVO_ui_webPage.h"

#include <QUrl>
#include <QWidget>

QWidget *TAVO_ui_webPage::create() { return nullptr; }
void TAVO_ui_webPage::load(QWidget *view, const QUrl &url) { view->setProperty("url", url); }

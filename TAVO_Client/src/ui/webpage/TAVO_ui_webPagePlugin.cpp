#include <QWebEngineView>

// The one entry point of the module, resolved by name when the first browser window is needed.
extern "C" Q_DECL_EXPORT QWidget *tavoCreateWebPage()
{
    return new QWebEngineView;
}

#ifndef TAVO_UI_WEBPAGE_H
#define TAVO_UI_WEBPAGE_H

class QString;
class QUrl;
class QWidget;

// The browser window for a box's web page. The web engine is loaded on the first call only,
// so a user who never opens a web page does not carry it in memory.
class TAVO_ui_webPage
{
public:
    // A new top-level browser window, or null when the web engine cannot be loaded or would
    // not run (as root with its sandbox on).
    static QWidget *create();
    static void load(QWidget *view, const QUrl &url);
    // Why create() returned null.
    static QString loadProblem();
};

#endif

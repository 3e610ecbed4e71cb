#ifndef TAVO_UI_CACHEWARNING_H
#define TAVO_UI_CACHEWARNING_H

class QWidget;

namespace TAVO_ui_cacheWarning {

// Without a cache folder no description can be stored, so no box can be listed: the user must
// hear why the list stays empty. The warning waits for the event loop and does not block it.
void showIfMissing(QWidget *window);

} // namespace TAVO_ui_cacheWarning

#endif

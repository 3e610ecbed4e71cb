#include "TAVO_ui_cacheWarning.h"

#include "TAVO_mgr_cache.h"

#include <QMessageBox>
#include <QTimer>

void TAVO_ui_cacheWarning::showIfMissing(QWidget *window)
{
    if (!TAVO_mgr_cache::root().isEmpty())
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Message"),
                                QStringLiteral("Cannot create a folder for the boxes' files. No box can be listed."),
                                QMessageBox::Ok, window);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(TAVO_mgr_cache::problem());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    QTimer::singleShot(0, box, &QWidget::show);
}

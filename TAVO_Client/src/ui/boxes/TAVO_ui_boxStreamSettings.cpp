#include "TAVO_ui_boxStreamSettings.h"

#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_streamSettings.h"
#include "TAVO_ui_streamSettings.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// A menu entry shows the text as it is: "&" would otherwise mark a shortcut letter.
QString menuText(QString name)
{
    return name.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

TAVO_ui_boxStreamSettings::TAVO_ui_boxStreamSettings(QTableWidget *serverList, TAVO_mgr_mainManager *registry,
                                                     TAVO_ui_streamSettings *selectors,
                                                     std::function<void()> restoreSelectors)
    : QObject(serverList)
    , serverList(serverList)
    , registry(registry)
    , selectors(selectors)
    , restoreSelectors(std::move(restoreSelectors))
    , entry(new QAction(QStringLiteral("Stream settings…"), serverList))
{
    entry->setEnabled(false);
    serverList->addAction(entry);
    connect(serverList, &QWidget::customContextMenuRequested, this, &TAVO_ui_boxStreamSettings::aimAt);
    connect(entry, &QAction::triggered, this, &TAVO_ui_boxStreamSettings::openDialog);
}

// The position is the table's viewport's, as the context menu's.
void TAVO_ui_boxStreamSettings::aimAt(const QPoint &position)
{
    const int at = serverList->indexAt(position).row();
    row = at >= 0 && at < registry->getServerCount() ? at : -1;
    entry->setEnabled(row >= 0 && !selectors->parentWidget());
    entry->setText(row >= 0 ? QStringLiteral("Stream settings of %1…").arg(menuText(registry->getServer(row)->device.friendlyName))
                            : QStringLiteral("Stream settings…"));
}

void TAVO_ui_boxStreamSettings::openDialog()
{
    if (row < 0 || row >= registry->getServerCount() || selectors->parentWidget())
        return;
    const QString udn = registry->getServer(row)->device.UDN;
    auto *dialog = new QDialog(serverList->window());
    dialog->setObjectName(QStringLiteral("streamSettingsDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Stream settings of %1").arg(registry->getServer(row)->device.friendlyName));
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(selectors);
    auto *note = new QLabel(QStringLiteral("The box sends its stream with these settings from its next start. A stream that "
                                           "plays or is recorded now keeps its settings until it is stopped."));
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

    selectors->showSettings(TAVO_mgr_streamSettings::forBox(udn));
    for (QComboBox *selector : selectors->findChildren<QComboBox *>())
        selector->setEnabled(true);
    selectors->show();
    connect(dialog, &QDialog::finished, this, [this, udn](int result) {
        if (result == QDialog::Accepted)
            selectors->chosen().rememberFor(udn);
        // Back to the hidden holder the window keeps, before the dialog deletes its children.
        selectors->hide();
        selectors->setParent(nullptr);
        restoreSelectors();
    });
    dialog->open();
}

#include "TAVO_ui_channelDialog.h"

#include "TAVO_mgr_playlist.h"

#include <QCoreApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <optional>

namespace {

enum Column { Number, Name, Group, Logo, Keys, ColumnCount };

// A playlist larger than this is no channel list.
constexpr qint64 maxPlaylistBytes = 16 * 1024 * 1024;
// The faults a message box lists before it only counts the rest.
constexpr int listedFaults = 15;

QPushButton *newButton(const QString &text, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QString faultText(const QStringList &faults)
{
    QString text = faults.mid(0, listedFaults).join(QLatin1Char('\n'));
    if (faults.size() > listedFaults)
        text += QStringLiteral("\n… and %1 more").arg(faults.size() - listedFaults);
    return text;
}

} // namespace

TAVO_ui_channelDialog::TAVO_ui_channelDialog(const TAVO_mgr_channelList &list, const QString &udn,
                                             QWidget *parent)
    : QDialog(parent)
    , table(new QTableWidget(0, ColumnCount, this))
    , confirmKey(new QComboBox(this))
    , pause(new QSpinBox(this))
    , udn(udn)
    , original(list)
{
    table->setObjectName(QStringLiteral("channelTable"));
    table->setHorizontalHeaderLabels({tr("Number"), tr("Name"), tr("Group"), tr("Logo file"), tr("Own keys")});
    table->horizontalHeader()->setSectionResizeMode(Name, QHeaderView::Stretch);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    showChannels(list.channels);

    confirmKey->setObjectName(QStringLiteral("confirmKey"));
    confirmKey->setEditable(true);
    confirmKey->addItems({QString(), QStringLiteral("OK")});
    confirmKey->setCurrentText(list.confirmKey);
    pause->setObjectName(QStringLiteral("keyPause"));
    pause->setRange(0, TAVO_mgr_channelList::maxPauseMs);
    pause->setSingleStep(50);
    pause->setSuffix(tr(" ms"));
    pause->setValue(list.pauseMs);
    auto *tuning = new QFormLayout;
    tuning->addRow(tr("Key after the digits:"), confirmKey);
    tuning->addRow(tr("Pause between keys:"), pause);

    auto *buttons = new QHBoxLayout;
    const auto addButton = [this, buttons](const QString &text, const QString &name, auto slot) {
        QPushButton *button = newButton(text, name, this);
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button);
    };
    addButton(tr("Add"), QStringLiteral("addChannel"), [this] { addChannel(); });
    addButton(tr("Remove"), QStringLiteral("removeChannel"), [this] { removeChannel(); });
    addButton(tr("Up"), QStringLiteral("channelUp"), [this] { moveChannel(-1); });
    addButton(tr("Down"), QStringLiteral("channelDown"), [this] { moveChannel(1); });
    addButton(tr("Import…"), QStringLiteral("importChannels"), [this] { importFile(); });
    addButton(tr("Export…"), QStringLiteral("exportChannels"), [this] { exportFile(); });

    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &TAVO_ui_channelDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addLayout(buttons);
    layout->addLayout(tuning);
    layout->addWidget(box);
    resize(640, 420);
}

void TAVO_ui_channelDialog::showChannels(const QList<TAVO_mgr_channel> &channels)
{
    table->setRowCount(0);
    for (const TAVO_mgr_channel &channel : channels) {
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, Number, new QTableWidgetItem(channel.number));
        table->setItem(row, Name, new QTableWidgetItem(channel.name));
        table->setItem(row, Group, new QTableWidgetItem(channel.group));
        table->setItem(row, Logo, new QTableWidgetItem(channel.logo));
        table->setItem(row, Keys, new QTableWidgetItem(channel.keys.join(QLatin1Char(' '))));
    }
}

// The table's rows as channels; `faults` names every row the list's rule refuses.
QList<TAVO_mgr_channel> TAVO_ui_channelDialog::tableChannels(QStringList *faults) const
{
    QList<TAVO_mgr_channel> channels;
    const auto text = [this](int row, int column) {
        const QTableWidgetItem *item = table->item(row, column);
        return item ? item->text().trimmed() : QString();
    };
    for (int row = 0; row < table->rowCount(); ++row) {
        TAVO_mgr_channel channel;
        channel.number = text(row, Number);
        channel.name = text(row, Name);
        channel.group = text(row, Group);
        channel.logo = text(row, Logo);
        const QString keys = text(row, Keys).simplified();
        channel.keys = keys.isEmpty() ? QStringList() : keys.split(QLatin1Char(' '));
        channels << channel;
    }
    *faults << TAVO_mgr_channelList::faultsOf(channels, [](int index) { return tr("Row %1").arg(index + 1); });
    return channels;
}

TAVO_mgr_channelList TAVO_ui_channelDialog::list() const
{
    TAVO_mgr_channelList list = original;
    QStringList faults;
    list.channels = tableChannels(&faults);
    list.confirmKey = confirmKey->currentText().trimmed();
    list.pauseMs = pause->value();
    return list;
}

void TAVO_ui_channelDialog::accept()
{
    QStringList faults;
    tableChannels(&faults);
    const QString key = confirmKey->currentText().trimmed();
    if (!key.isEmpty() && !TAVO_mgr_channelList::isKeyName(key))
        faults << tr("The key after the digits must be a key name of the remote, such as OK");
    if (!faults.isEmpty()) {
        QMessageBox::warning(this, tr("Channels"), faultText(faults));
        return;
    }
    QDialog::accept();
}

void TAVO_ui_channelDialog::addChannel()
{
    const int row = table->rowCount();
    table->insertRow(row);
    table->setCurrentCell(row, Number);
    table->editItem(table->item(row, Number));
}

void TAVO_ui_channelDialog::removeChannel()
{
    if (table->currentRow() >= 0)
        table->removeRow(table->currentRow());
}

void TAVO_ui_channelDialog::moveChannel(int step)
{
    const int from = table->currentRow();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= table->rowCount())
        return;
    for (int column = 0; column < ColumnCount; ++column) {
        QTableWidgetItem *moving = table->takeItem(from, column);
        table->setItem(from, column, table->takeItem(to, column));
        table->setItem(to, column, moving);
    }
    table->setCurrentCell(to, table->currentColumn());
}

bool TAVO_ui_channelDialog::importPlaylist(const QByteArray &playlist)
{
    TAVO_mgr_channelList imported;
    QStringList faults;
    if (!imported.importPlaylist(playlist, &faults)) {
        refuseImport(tr("The playlist was not imported; the list is unchanged."), faults);
        return false;
    }
    const std::optional<QList<TAVO_mgr_channel>> channels = importedInto(imported.channels, &faults);
    if (!faults.isEmpty()) {
        refuseImport(tr("The playlist was not added; the list is unchanged."), faults);
        return false;
    }
    if (!channels)
        return false;
    showChannels(*channels);
    return true;
}

// The channels the table has after the import: the playlist's, or the table's and then the
// playlist's when the user adds them; nothing when the user cancels. Added channels keep the rule.
std::optional<QList<TAVO_mgr_channel>> TAVO_ui_channelDialog::importedInto(const QList<TAVO_mgr_channel> &imported,
                                                           QStringList *faults)
{
    if (table->rowCount() == 0)
        return imported;
    QMessageBox question(QMessageBox::Question, tr("Channels"),
                         tr("Replace the %n channel(s) of the list by the playlist's, or add the playlist's?", nullptr,
                            table->rowCount()),
                         QMessageBox::Yes | QMessageBox::Discard | QMessageBox::Cancel, this);
    question.setObjectName(QStringLiteral("importQuestion"));
    question.button(QMessageBox::Yes)->setText(tr("Add"));
    question.button(QMessageBox::Discard)->setText(tr("Replace"));
    question.setDefaultButton(QMessageBox::Yes);
    const int answer = question.exec();
    if (answer == QMessageBox::Discard)
        return imported;
    if (answer != QMessageBox::Yes)
        return std::nullopt;
    QList<TAVO_mgr_channel> channels = tableChannels(faults);
    if (!faults->isEmpty())
        return std::nullopt;
    channels << imported;
    *faults << TAVO_mgr_channelList::faultsOf(channels, [](int index) { return tr("Row %1").arg(index + 1); });
    return channels;
}

void TAVO_ui_channelDialog::refuseImport(const QString &text, const QStringList &faults)
{
    QMessageBox box(QMessageBox::Warning, tr("Channels"), text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("importRefused"));
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(faults.join(QLatin1Char('\n')));
    box.setInformativeText(faultText(faults));
    box.exec();
}

void TAVO_ui_channelDialog::importFile()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Import channels"), QString(),
                                                      tr("Playlists (*.m3u *.m3u8);;All files (*)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (file.size() > maxPlaylistBytes) {
        QMessageBox::warning(this, tr("Channels"), tr("%1 is larger than a playlist (%2 MB).").arg(path).arg(maxPlaylistBytes >> 20));
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(this, tr("Channels"), tr("%1 cannot be read: %2").arg(path, file.errorString()));
        return;
    }
    importPlaylist(file.readAll());
}

// Nothing is exported while a row is faulty or an entry cannot be written: a TV server would
// import what is there without a word about what is missing.
void TAVO_ui_channelDialog::exportFile()
{
    QStringList faults;
    const QList<TAVO_mgr_channel> channels = tableChannels(&faults);
    // Each entry is the recording command of the channel, installed beside the client.
    const QByteArray playlist = faults.isEmpty() ? TAVO_mgr_playlist::write(channels, TAVO_mgr_playlist::recordingCommand(
        QCoreApplication::applicationDirPath() + QLatin1String("/tavo-record"), udn, list()), &faults) : QByteArray();
    if (!faults.isEmpty()) {
        QMessageBox::warning(this, tr("Channels"), tr("The list was not exported:\n%1").arg(faultText(faults)));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, tr("Export channels"), QString(),
                                                      tr("Playlists (*.m3u *.m3u8)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(playlist) < 0 || !file.commit())
        QMessageBox::warning(this, tr("Channels"), tr("%1 cannot be written: %2").arg(path, file.errorString()));
}

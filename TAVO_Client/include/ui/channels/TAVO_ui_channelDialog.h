#ifndef TAVO_UI_CHANNELDIALOG_H
#define TAVO_UI_CHANNELDIALOG_H

#include "TAVO_mgr_channelList.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QSpinBox;
class QTableWidget;

// Edits a box's channel list: add, edit, remove and reorder channels, import and export M3U
// playlists, and how the box is tuned (the key after the digits, the pause between keys).
class TAVO_ui_channelDialog : public QDialog
{
    Q_OBJECT

public:
    TAVO_ui_channelDialog(const TAVO_mgr_channelList &list, const QString &udn, QWidget *parent);

    // The list as edited; valid once the dialog was accepted.
    TAVO_mgr_channelList list() const;

    // Puts the playlist's channels in the table, asking whether they replace its channels or are
    // added to them; a faulty playlist, or channels that cannot be added, change nothing and
    // list their faults in a message box.
    bool importPlaylist(const QByteArray &playlist);

private:
    void showChannels(const QList<TAVO_mgr_channel> &channels);
    QList<TAVO_mgr_channel> tableChannels(QStringList *faults) const;
    void addChannel();
    void removeChannel();
    void moveChannel(int step);
    std::optional<QList<TAVO_mgr_channel>> importedInto(const QList<TAVO_mgr_channel> &imported, QStringList *faults);
    void refuseImport(const QString &text, const QStringList &faults);
    void importFile();
    void exportFile();
    void accept() override;

    QTableWidget *table;
    QComboBox *confirmKey;
    QSpinBox *pause;
    QString udn;
    TAVO_mgr_channelList original;  // what the table does not show (the channels watched last) stays
};

#endif

#ifndef TAVO_UI_SERVERITEM_H
#define TAVO_UI_SERVERITEM_H

#include "TAVO_mgr_defaultStructure.h"

#include <QTableWidgetItem>
#include <QTime>

// One row of the server table. Its text is the one it was added with; its tool tip names the
// box's model, serial number and address as the box's record holds them now, and the row shows
// whether the box plays, whether it still answers and whether it is being recorded.
class TAVO_ui_serverItem : public QTableWidgetItem
{
public:
    // `server` is the box's registry record, which outlives the row; null leaves no tool tip.
    TAVO_ui_serverItem(const QIcon &icon, const QString &text, const TAVO_SERVER *server);

    QVariant data(int role) const override;

    void setPlaying(bool playing);
    // A box that left (byebye, or its announcement expired) is greyed; seen again, it is not.
    void setAnswering(bool answering, const QTime &now = QTime::currentTime());
    bool isAnswering() const;
    // A box being recorded shows a red dot, and its tool tip says by whom; empty: by nobody.
    void setRecordedBy(const QString &recorder);

private:
    QString toolTip() const;

    const TAVO_SERVER *server;
    QString recordedBy() const;

    QTime notAnsweringSince;
};

#endif

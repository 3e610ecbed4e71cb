#include "TAVO_ui_recordingMark.h"

#include "TAVO_mgr_savedFiles.h"
#include "TAVO_player_recorder.h"

#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>

TAVO_ui_recordingMark::TAVO_ui_recordingMark(TAVO_player_recorder *recorder, QStatusBar *statusLine)
    : QObject(recorder)
    , statusLine(statusLine)
    , mark(new QLabel)
{
    mark->setTextFormat(Qt::PlainText);
    mark->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    mark->hide();
    statusLine->addPermanentWidget(mark);
    connect(recorder, &TAVO_player_recorder::recordingChanged, mark, &QLabel::setVisible);
    connect(recorder, &TAVO_player_recorder::progress, this, &TAVO_ui_recordingMark::showProgress);
    connect(recorder, &TAVO_player_recorder::failed, this, &TAVO_ui_recordingMark::showFailure);
}

void TAVO_ui_recordingMark::showProgress(const QString &path, qint64 elapsedMs, qint64 bytes)
{
    mark->setText(QStringLiteral("● REC %1  %2").arg(TAVO_mgr_savedFiles::durationText(elapsedMs),
                                                      TAVO_mgr_savedFiles::sizeText(bytes)));
    mark->setToolTip(path);
}

// The message does not hold up the picture, which goes on.
void TAVO_ui_recordingMark::showFailure(const QString &what, const QString &reason)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Message"), what,
                                QMessageBox::Ok, statusLine->window());
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(reason);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

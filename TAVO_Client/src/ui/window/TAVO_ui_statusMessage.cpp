#include "TAVO_ui_statusMessage.h"

#include "TAVO_mgr_savedFiles.h"
#include "TAVO_ui_shortText.h"

#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

namespace {

const QString ellipsis = QStringLiteral("…");

// The message as it is shown in `width` pixels. Of a message that names a kept file, first the
// folder goes, then the start of the message, by whole words; the file's name is the last to go.
QString fitted(const QString &message, const QFontMetrics &metrics, int width)
{
    const QString file = TAVO_mgr_savedFiles::keptFileAtEndOf(message);
    if (file.isEmpty() || metrics.horizontalAdvance(message) <= width)
        return TAVO_ui_shortText::elided(message, metrics, width);
    const QString start = message.chopped(file.size());
    const QFileInfo info(file);
    const QString name = info.fileName();
    for (const QString &shortFile : {ellipsis + QLatin1Char('/') + info.dir().dirName() + QLatin1Char('/') + name,
                                     ellipsis + QLatin1Char('/') + name}) {
        if (metrics.horizontalAdvance(start + shortFile) <= width)
            return start + shortFile;
    }
    const QString nameAfterSpace = QLatin1Char(' ') + name;
    const QString shortStart =
        TAVO_ui_shortText::elided(start.trimmed(), metrics, width - metrics.horizontalAdvance(nameAfterSpace));
    if (shortStart.isEmpty())
        return metrics.elidedText(name, Qt::ElideMiddle, width);
    return shortStart + nameAfterSpace;
}

} // namespace

TAVO_ui_statusMessage::TAVO_ui_statusMessage(QStatusBar *statusLine)
    : statusLine(statusLine)
    , text(new QLabel(this))
    , folderButton(new QToolButton(this))
    , shownTimer(new QTimer(this))
{
    text->setTextFormat(Qt::PlainText);
    // The label takes the room it is given and never asks for more: the text is fitted to it.
    text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    folderButton->setAutoRaise(true);
    folderButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    folderButton->setAccessibleName(QStringLiteral("Open folder"));
    folderButton->hide();
    auto *layout = new QHBoxLayout(this);
    // Where the status bar would start the message.
    layout->setContentsMargins(4, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(text, 1);
    layout->addWidget(folderButton);
    // Drawn over the place where the status bar would draw the message itself.
    setAutoFillBackground(true);
    // The label's width changes with the line's and with the button beside it.
    text->installEventFilter(this);
    connect(folderButton, &QToolButton::clicked, this, &TAVO_ui_statusMessage::openFolder);
    connect(statusLine, &QStatusBar::messageChanged, this, &TAVO_ui_statusMessage::showMessage);
    shownTimer->setObjectName(QStringLiteral("shownTimer"));
    shownTimer->setSingleShot(true);
    shownTimer->setInterval(shownMs);
    connect(shownTimer, &QTimer::timeout, statusLine, &QStatusBar::clearMessage);
    statusLine->insertPermanentWidget(0, this, 1);
}

void TAVO_ui_statusMessage::addNotice(const QString &notice)
{
    auto *label = new QLabel(notice.section(QStringLiteral(": "), 0, 0));
    label->setTextFormat(Qt::PlainText);
    label->setToolTip(notice);
    statusLine->addPermanentWidget(label);
}

void TAVO_ui_statusMessage::removeNotice(const QString &notice)
{
    for (QLabel *label : statusLine->findChildren<QLabel *>()) {
        if (label != text && label->toolTip() == notice)
            label->deleteLater();
    }
}

void TAVO_ui_statusMessage::revise(const QString &said, const QString &now)
{
    if (statusLine->currentMessage() != said)
        return;
    if (now.isEmpty())
        statusLine->clearMessage();
    else
        statusLine->showMessage(now);
}

void TAVO_ui_statusMessage::showMessage(const QString &message)
{
    keptFile = TAVO_mgr_savedFiles::keptFileAtEndOf(message);
    text->setToolTip(TAVO_ui_shortText::bounded(message, toolTipChars));
    folderButton->setToolTip(QStringLiteral("Open %1").arg(QFileInfo(keptFile).absolutePath()));
    folderButton->setVisible(!keptFile.isEmpty());
    fit();
    if (message.isEmpty())
        shownTimer->stop();
    else
        shownTimer->start();
}

void TAVO_ui_statusMessage::fit()
{
    text->setText(fitted(statusLine->currentMessage(), text->fontMetrics(), text->contentsRect().width()));
}

void TAVO_ui_statusMessage::openFolder()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(keptFile).absolutePath()));
}

bool TAVO_ui_statusMessage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == text && event->type() == QEvent::Resize)
        fit();
    return QWidget::eventFilter(watched, event);
}

#include "TAVO_ui_channelDock.h"

#include "TAVO_ui_channelCaption.h"
#include "TAVO_ui_channelDialog.h"
#include "TAVO_ui_channelEntry.h"
#include "TAVO_ui_channelSwitcher.h"
#include "TAVO_ui_panelPlace.h"
#include "TAVO_ui_windowKeyboard.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr int logoSize = 32;

QString textOf(const TAVO_mgr_channel &channel)
{
    return channel.name.isEmpty() ? channel.number : channel.number + QLatin1String("  ") + channel.name;
}

} // namespace

TAVO_ui_channelDock::TAVO_ui_channelDock(QMainWindow *window, QWidget *picture, TAVO_ui_channelSwitcher *switcher,
                                         WindowActions actions)
    : QDockWidget(tr("Channels"), window)
    , switcher(switcher)
    , actions(std::move(actions))
    , view(new QListWidget)
    , entry(new TAVO_ui_channelEntry(this))
    , caption(new TAVO_ui_channelCaption(window, picture))
{
    connect(entry, &TAVO_ui_channelEntry::typing, caption, &TAVO_ui_channelCaption::showTyping);
    connect(entry, &TAVO_ui_channelEntry::entered, this, &TAVO_ui_channelDock::tuneNumber);
    connect(switcher, &TAVO_ui_channelSwitcher::interrupted, this,
            [this](const QString &reason) { this->actions.showStatus(tr("Channel not tuned: %1").arg(reason)); });
    setObjectName(QStringLiteral("channelDock"));
    view->setObjectName(QStringLiteral("channelList"));
    view->setIconSize(QSize(logoSize, logoSize));
    // Activation is a double click or Return.
    connect(view, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) { tune(view->row(item)); });
    auto *editButton = new QPushButton(tr("Edit…"));
    editButton->setObjectName(QStringLiteral("editChannels"));
    connect(editButton, &QPushButton::clicked, this, &TAVO_ui_channelDock::edit);
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    layout->addWidget(editButton);
    setWidget(content);
    window->addDockWidget(Qt::LeftDockWidgetArea, this);
    // It opens floating beside the window, so that the box list and the picture keep their
    // places and sizes; the user may dock it.
    setFloating(true);
    hide();
    window->installEventFilter(this);
}

void TAVO_ui_channelDock::useKeys(const TAVO_ui_windowKeyboard *keyboard, const QList<QWidget *> &digitPlaces)
{
    entry->takeDigitsOf(digitPlaces);
    using TAVO_ui_windowKeys::Key;
    connect(keyboard->action(Key::Channels), &QAction::triggered, this, [this] { setVisible(isHidden()); });
    connect(keyboard->action(Key::NextChannel), &QAction::triggered, this, [this] { step(1); });
    connect(keyboard->action(Key::PreviousChannel), &QAction::triggered, this, [this] { step(-1); });
    connect(keyboard->action(Key::ChannelBefore), &QAction::triggered, this, &TAVO_ui_channelDock::tuneChannelBefore);
}

void TAVO_ui_channelDock::followChosenBox()
{
    const QString chosen = actions.chosenUdn();
    if (chosen == udn)
        return;
    udn = chosen;
    reload();
    showList();
    // Another box chosen: what the client tuned is no longer what the status line speaks of.
    if (!tunedUdn.isEmpty() && tunedUdn != udn) {
        tunedUdn.clear();
        showPlayingChannel();
    }
}

// The box's file as it is now; a file that is refused is said and left as it is, never written.
bool TAVO_ui_channelDock::reload()
{
    refusal.clear();
    list = udn.isEmpty() ? TAVO_mgr_channelList() : TAVO_mgr_channelList::load(udn, &refusal);
    if (!refusal.isEmpty())
        actions.showStatus(tr("The channel list was not read and is left as it is: %1").arg(refusal));
    return refusal.isEmpty();
}

void TAVO_ui_channelDock::playingChanged(const QString &playingUdn)
{
    playing = playingUdn;
    showPlayingChannel();
}

// The box keeps its channel while its stream stops, is lost or starts again: the status line
// names it whenever that box plays.
void TAVO_ui_channelDock::showPlayingChannel()
{
    caption->showPlaying(!tunedUdn.isEmpty() && tunedUdn == playing ? tunedText : QString());
}

// The box's file keeps the last channel and the one before it, for the next start. They are
// written into the file as it is now: another program, or the user's own hand, may have changed it.
void TAVO_ui_channelDock::remember(const QString &number)
{
    const QList<TAVO_mgr_channel> shown = list.channels;
    const bool readable = udn.isEmpty() || reload();
    if (list.channels != shown)
        showList();
    list.remember(number);
    const int row = rowOf(number);
    if (row >= 0)
        view->setCurrentRow(row);
    QString error;
    if (!udn.isEmpty() && readable && !list.save(udn, &error))
        actions.showStatus(tr("The channel list could not be saved: %1").arg(error));
}

int TAVO_ui_channelDock::rowOf(const QString &number) const
{
    for (int row = 0; row < list.channels.size(); ++row) {
        if (list.channels.at(row).number == number)
            return row;
    }
    return -1;
}

void TAVO_ui_channelDock::step(int step)
{
    followChosenBox();
    const int count = int(list.channels.size());
    if (count == 0) {
        actions.showStatus(tr("The box has no channel list (L opens it)"));
        return;
    }
    const int last = rowOf(list.lastNumber);
    const int from = last < 0 ? (step > 0 ? -1 : 0) : last;
    tune(((from + step) % count + count) % count);
}

void TAVO_ui_channelDock::tuneChannelBefore()
{
    followChosenBox();
    const int row = rowOf(list.previousNumber);
    if (row < 0) {
        actions.showStatus(tr("No channel was watched before"));
        return;
    }
    tune(row);
}

// Opening the list reads the box's file again: another program may have changed it.
void TAVO_ui_channelDock::showEvent(QShowEvent *event)
{
    udn.clear();
    followChosenBox();
    if (isFloating())
        place();
    QDockWidget::showEvent(event);
}

// Out of the picture's way: beside the window, whole on its screen, as the remote panel is
// placed; a list the user moved stays where it was put, as long as it is on a screen.
void TAVO_ui_channelDock::place()
{
    const QWidget *window = parentWidget();
    const QRect windowFrame = window->frameGeometry();
    QScreen *screen = QGuiApplication::screenAt(windowFrame.center());
    const QRect available = (screen ? screen : window->screen())->availableGeometry();
    const QMargins margins = frameMargins();
    const QSize frame(width() + margins.left() + margins.right(), qMin(windowFrame.height(), available.height()));
    const QPoint at = placedAt && frameGeometry().topLeft() != *placedAt
                          ? TAVO_ui_panelPlace::onScreen(QRect(frameGeometry().topLeft(), frame), available)
                          : TAVO_ui_panelPlace::besideWindow(windowFrame, frame, available);
    placedAt = at;
    // A window not shown yet has no frame of its own: its inside is placed, within the frame the
    // window manager gives the main window.
    setGeometry(QRect(at, frame).marginsRemoved(margins));
}

QMargins TAVO_ui_channelDock::frameMargins() const
{
    const QRect frame = frameGeometry();
    const QRect inside = geometry();
    const QMargins own(inside.left() - frame.left(), inside.top() - frame.top(), frame.right() - inside.right(),
                       frame.bottom() - inside.bottom());
    const QWindow *windowHandle = parentWidget()->windowHandle();
    return !own.isNull() || !windowHandle ? own : windowHandle->frameMargins();
}

// Full screen is the picture's: the list gives way, and comes back after it. L still shows it.
bool TAVO_ui_channelDock::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::WindowStateChange) {
        if (parentWidget()->isFullScreen() && isVisible()) {
            hiddenForFullScreen = true;
            hide();
        } else if (!parentWidget()->isFullScreen() && hiddenForFullScreen) {
            hiddenForFullScreen = false;
            show();
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

void TAVO_ui_channelDock::showList()
{
    setWindowTitle(udn.isEmpty() ? tr("Channels") : tr("Channels of %1").arg(actions.chosenName()));
    view->clear();
    for (const TAVO_mgr_channel &channel : std::as_const(list.channels)) {
        auto *item = new QListWidgetItem(QIcon(channel.logo), textOf(channel), view);
        item->setToolTip(channel.group);
    }
    if (view->count() > 0)
        view->setCurrentRow(qMax(0, rowOf(list.lastNumber)));
}

bool TAVO_ui_channelDock::tune(int row)
{
    followChosenBox();
    if (row < 0 || row >= list.channels.size())
        return false;
    return tuneChannel(list.channels.at(row));
}

// A number missing from the list is tuned as a channel of the list without keys of its own.
void TAVO_ui_channelDock::tuneNumber(const QString &number)
{
    followChosenBox();
    if (udn.isEmpty()) {
        actions.showStatus(tr("Please select a box first"));
        return;
    }
    const TAVO_mgr_channel *listed = list.byNumber(number);
    tuneChannel(listed ? *listed : TAVO_mgr_channel{QString(), number, QString(), QString(), QStringList()});
}

// The caption over the picture says what was tuned, the status line only why it was not: in
// full screen the status line's messages show over the picture too, and would say it twice.
// Starting the stream runs the event loop, in which another box may be chosen and its list read:
// the channel is a copy, its keys are taken before, and nothing goes to a box no longer chosen.
bool TAVO_ui_channelDock::tuneChannel(TAVO_mgr_channel channel)
{
    const QString box = udn;
    const QStringList keys = list.keysFor(channel);
    const int pauseMs = list.pauseMs;
    actions.playChosenBox();
    if (actions.chosenUdn() != box || udn != box) {
        actions.showStatus(tr("Channel %1 not tuned: another box was chosen").arg(textOf(channel)));
        return false;
    }
    const QString refusal = switcher->tune(keys, pauseMs);
    if (!refusal.isEmpty()) {
        actions.showStatus(tr("Channel %1 not tuned: %2").arg(textOf(channel), refusal));
        return false;
    }
    caption->showTuned(channel);
    tunedUdn = box;
    tunedText = textOf(channel);
    showPlayingChannel();
    remember(channel.number);
    return true;
}

void TAVO_ui_channelDock::edit()
{
    followChosenBox();
    if (udn.isEmpty()) {
        actions.showStatus(tr("Please select a box first"));
        return;
    }
    // The dialog starts from the file as it is now, and a file that is refused stays untouched.
    if (!reload()) {
        showList();
        return;
    }
    showList();
    TAVO_ui_channelDialog dialog(list, udn, this);
    dialog.setWindowTitle(tr("Channels of %1").arg(actions.chosenName()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!dialog.list().save(udn, &error)) {
        actions.showStatus(tr("The channel list could not be saved: %1").arg(error));
        return;
    }
    list = dialog.list();
    showList();
}

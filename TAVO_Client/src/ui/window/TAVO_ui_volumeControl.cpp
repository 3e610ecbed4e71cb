#include "TAVO_ui_volumeControl.h"

#include "TAVO_mgr_clientSettings.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_ui_fullScreenNotice.h"
#include "TAVO_ui_windowKeyboard.h"

#include <QAction>
#include <QHBoxLayout>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QWheelEvent>

namespace {

constexpr int announceMs = 1500;
constexpr int wheelNotch = 120;

} // namespace

TAVO_ui_volumeControl::TAVO_ui_volumeControl(TAVO_player_vlcPlayer *player, QWidget *picture,
                                             QWidget *fullScreenOverlay, QStatusBar *statusLine,
                                             TAVO_ui_windowKeyboard *keys)
    : player(player)
    , muteButton(new QToolButton(this))
    , slider(new QSlider(Qt::Horizontal, this))
    , statusLine(statusLine)
{
    muteButton->setCheckable(true);
    muteButton->setAutoRaise(true);
    using TAVO_ui_windowKeys::Key;
    muteButton->setToolTip(QStringLiteral("Mute (%1)").arg(TAVO_ui_windowKeys::keysText(Key::Mute)));
    muteButton->setAccessibleName(QStringLiteral("Mute"));
    slider->setRange(0, maximumPercent);
    slider->setSingleStep(stepPercent);
    slider->setPageStep(4 * stepPercent);
    slider->setFixedWidth(100);
    slider->setToolTip(QStringLiteral("Volume (%1, %2, or the mouse wheel over the picture)")
                           .arg(TAVO_ui_windowKeys::keysText(Key::Louder), TAVO_ui_windowKeys::keysText(Key::Softer)));
    slider->setAccessibleName(QStringLiteral("Volume"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(muteButton);
    layout->addWidget(slider);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    slider->setValue(qBound(0, TAVO_mgr_clientSettings::volume(100), maximumPercent));
    muteButton->setChecked(TAVO_mgr_clientSettings::muted());
    player->setVolume(slider->value());
    player->setMuted(muteButton->isChecked());
    showMuteState();

    connect(slider, &QSlider::valueChanged, this, &TAVO_ui_volumeControl::applyLevel);
    connect(muteButton, &QToolButton::toggled, this, &TAVO_ui_volumeControl::applyMuted);
    statusTimer.setSingleShot(true);
    statusTimer.setInterval(announceMs);
    connect(&statusTimer, &QTimer::timeout, this, &TAVO_ui_volumeControl::restoreStatusLine);
    picture->installEventFilter(this);
    fullScreenOverlay->installEventFilter(this);
    takeKeys(keys);
}

void TAVO_ui_volumeControl::takeKeys(TAVO_ui_windowKeyboard *keys)
{
    using TAVO_ui_windowKeys::Key;
    connect(keys->action(Key::Mute), &QAction::triggered, this, [this] { setMuted(!isMuted()); });
    connect(keys->action(Key::Louder), &QAction::triggered, this, [this] { step(1); });
    connect(keys->action(Key::Softer), &QAction::triggered, this, [this] { step(-1); });
}

int TAVO_ui_volumeControl::level() const
{
    return slider->value();
}

bool TAVO_ui_volumeControl::isMuted() const
{
    return muteButton->isChecked();
}

// The slider and the mute button hold the state; their signals apply it.
void TAVO_ui_volumeControl::setLevel(int percent)
{
    slider->setValue(percent);
}

void TAVO_ui_volumeControl::setMuted(bool muted)
{
    muteButton->setChecked(muted);
}

// At either end the level stays, but the user still sees where it is.
void TAVO_ui_volumeControl::step(int steps)
{
    const int before = level();
    setLevel(before + steps * stepPercent);
    if (level() == before)
        announce();
}

// A change of level makes the sound heard again, as on a television.
void TAVO_ui_volumeControl::applyLevel(int percent)
{
    player->setVolume(percent);
    TAVO_mgr_clientSettings::setVolume(percent);
    if (isMuted())
        setMuted(false);
    else
        announce();
}

void TAVO_ui_volumeControl::applyMuted(bool muted)
{
    player->setMuted(muted);
    TAVO_mgr_clientSettings::setMuted(muted);
    showMuteState();
    announce();
}

void TAVO_ui_volumeControl::showMuteState()
{
    muteButton->setIcon(style()->standardIcon(isMuted() ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
}

// The level stays on the status line while it changes; then the line says again what it said.
void TAVO_ui_volumeControl::announce()
{
    const QString text = isMuted() ? QStringLiteral("Sound off (volume %1%)").arg(level())
                                   : QStringLiteral("Volume %1%").arg(level());
    if (!statusTimer.isActive() || statusLine->currentMessage() != announced)
        replacedStatus = statusLine->currentMessage();
    announced = text;
    statusLine->showMessage(text);
    statusTimer.start();
}

// Unless something else has been said meanwhile. What was said already is no news over the picture.
void TAVO_ui_volumeControl::restoreStatusLine()
{
    if (statusLine->currentMessage() == announced)
        TAVO_ui_fullScreenNotice::putBack(statusLine, replacedStatus);
}

bool TAVO_ui_volumeControl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        return wheelTurned(static_cast<QWheelEvent *>(event));
    return QWidget::eventFilter(watched, event);
}

// A wheel that reports finer than whole notches adds up to steps.
bool TAVO_ui_volumeControl::wheelTurned(const QWheelEvent *event)
{
    pendingWheel += event->angleDelta().y();
    const int steps = pendingWheel / wheelNotch;
    pendingWheel -= steps * wheelNotch;
    if (steps != 0)
        step(steps);
    return true;
}

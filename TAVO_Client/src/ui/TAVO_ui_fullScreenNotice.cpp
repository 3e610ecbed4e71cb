#include "TAVO_ui_fullScreenNotice.h"

#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

namespace {

constexpr double noticeOpacity = 0.85;

} // namespace

TAVO_ui_fullScreenNotice::TAVO_ui_fullScreenNotice(QMainWindow *window)
    : QObject(window)
    , window(window)
    , notice(std::make_unique<QLabel>())
{
    // A window of its own, over the full-screen overlay; the window manager neither frames,
    // places nor focuses it, and clicks go through it to the picture.
    notice->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                           | Qt::WindowDoesNotAcceptFocus | Qt::BypassWindowManagerHint
                           | Qt::WindowTransparentForInput);
    notice->setAttribute(Qt::WA_ShowWithoutActivating);
    notice->setFocusPolicy(Qt::NoFocus);
    notice->setTextFormat(Qt::PlainText);
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    notice->setMargin(12);
    notice->setStyleSheet(QStringLiteral("QLabel { background-color: #202020; color: white; }"));
    QFont font = notice->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    notice->setFont(font);

    shown.setSingleShot(true);
    shown.setInterval(shownMs);
    connect(&shown, &QTimer::timeout, this, &TAVO_ui_fullScreenNotice::fadeOut);
    // Where no compositing manager runs, the opacity changes nothing to see: the notice just
    // goes when the fade ends.
    fade.setTargetObject(notice.get());
    fade.setPropertyName("windowOpacity");
    fade.setDuration(fadeMs);
    fade.setStartValue(noticeOpacity);
    fade.setEndValue(0.0);
    connect(&fade, &QPropertyAnimation::finished, this, &TAVO_ui_fullScreenNotice::vanish);

    connect(window->statusBar(), &QStatusBar::messageChanged, this, &TAVO_ui_fullScreenNotice::show);
    window->installEventFilter(this);
}

TAVO_ui_fullScreenNotice::~TAVO_ui_fullScreenNotice() = default;

QWidget *TAVO_ui_fullScreenNotice::noticeWindow() const
{
    return notice.get();
}

// Leaving full screen takes the notice with it: the status line shows the message again.
bool TAVO_ui_fullScreenNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::WindowStateChange && !window->isFullScreen())
        vanish();
    return QObject::eventFilter(watched, event);
}

// An empty message is the status line clearing itself: nothing to say.
void TAVO_ui_fullScreenNotice::show(const QString &text)
{
    if (text.isEmpty() || !window->isFullScreen())
        return;
    fade.stop();
    notice->setWindowOpacity(noticeOpacity);
    notice->setText(text);
    placeOverPicture();
    notice->show();
    notice->raise();
    shown.start();
}

// On one line, centred near the top of the screen the picture fills; a long line (a recording's
// file) wraps rather than leave the screen.
void TAVO_ui_fullScreenNotice::placeOverPicture()
{
    const QRect screen = window->screen()->geometry();
    const int lineWidth = notice->fontMetrics().horizontalAdvance(notice->text()) + 2 * notice->margin() + 8;
    const int width = std::min(lineWidth, screen.width() * 9 / 10);
    notice->resize(width, notice->heightForWidth(width));
    notice->move(screen.center().x() - width / 2, screen.top() + screen.height() / 12);
}

void TAVO_ui_fullScreenNotice::fadeOut()
{
    fade.start();
}

void TAVO_ui_fullScreenNotice::vanish()
{
    shown.stop();
    fade.stop();
    notice->hide();
}

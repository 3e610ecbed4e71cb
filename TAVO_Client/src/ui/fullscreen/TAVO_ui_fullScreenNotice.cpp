#include "TAVO_ui_fullScreenNotice.h"

#include "TAVO_ui_fadingWindow.h"
#include "TAVO_ui_shortText.h"

#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

namespace {

// Set on the status line while a message is put back.
const char *const puttingBack = "tavoPuttingBack";

} // namespace

TAVO_ui_fullScreenNotice::TAVO_ui_fullScreenNotice(QMainWindow *window)
    : QObject(window)
    , window(window)
    , notice(std::make_unique<QLabel>())
    , fading(new TAVO_ui_fadingWindow(notice.get(), shownMs))
{
    notice->setTextFormat(Qt::PlainText);
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    notice->setMargin(12);
    notice->setStyleSheet(QStringLiteral("QLabel { background-color: #202020; color: white; }"));
    QFont font = notice->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    notice->setFont(font);

    connect(window->statusBar(), &QStatusBar::messageChanged, this, &TAVO_ui_fullScreenNotice::show);
    window->installEventFilter(this);
}

TAVO_ui_fullScreenNotice::~TAVO_ui_fullScreenNotice() = default;

QWidget *TAVO_ui_fullScreenNotice::noticeWindow() const
{
    return notice.get();
}

void TAVO_ui_fullScreenNotice::putBack(QStatusBar *statusLine, const QString &message)
{
    statusLine->setProperty(puttingBack, true);
    statusLine->showMessage(message);
    statusLine->setProperty(puttingBack, false);
}

// Leaving full screen takes the notice with it: the status line shows the message again.
bool TAVO_ui_fullScreenNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::WindowStateChange && !window->isFullScreen())
        fading->vanish();
    return QObject::eventFilter(watched, event);
}

// An empty message is the status line clearing itself: nothing to say.
void TAVO_ui_fullScreenNotice::show(const QString &text)
{
    if (text.isEmpty() || !window->isFullScreen() || window->statusBar()->property(puttingBack).toBool())
        return;
    notice->setText(TAVO_ui_shortText::bounded(text, noticeChars));
    placeOverPicture();
    fading->show();
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


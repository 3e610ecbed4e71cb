#include "TAVO_ui_channelCaption.h"

#include "TAVO_mgr_channelList.h"
#include "TAVO_ui_fadingWindow.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QStatusBar>

#include <algorithm>

namespace {

// The caption grows with the picture, as a television's does with its screen.
constexpr int picturePerLetterHeight = 14;
constexpr int smallestLetterPixels = 16;

QLabel *plainLabel()
{
    auto *label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TAVO_ui_channelCaption::TAVO_ui_channelCaption(QMainWindow *window, QWidget *picture)
    : QObject(window)
    , window(window)
    , picture(picture)
    , caption(std::make_unique<QWidget>())
    , logo(new QLabel)
    , number(plainLabel())
    , name(plainLabel())
    , playing(plainLabel())
    , fading(new TAVO_ui_fadingWindow(caption.get(), shownMs))
{
    caption->setObjectName(QStringLiteral("channelCaption"));
    caption->setStyleSheet(QStringLiteral("QWidget#channelCaption { background-color: #202020; }"
                                          "QLabel { color: white; }"));
    number->setObjectName(QStringLiteral("captionNumber"));
    name->setObjectName(QStringLiteral("captionName"));
    auto *layout = new QHBoxLayout(caption.get());
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (QLabel *label : {logo, number, name})
        layout->addWidget(label);

    playing->setObjectName(QStringLiteral("playingChannel"));
    playing->hide();
    window->statusBar()->addPermanentWidget(playing);

    window->installEventFilter(this);
    picture->installEventFilter(this);
}

TAVO_ui_channelCaption::~TAVO_ui_channelCaption() = default;

QWidget *TAVO_ui_channelCaption::captionWindow() const
{
    return caption.get();
}

void TAVO_ui_channelCaption::showTyping(const QString &digits)
{
    logo->hide();
    name->hide();
    number->setText(digits + QLatin1Char('-'));
    showCaption();
}

void TAVO_ui_channelCaption::showTuned(const TAVO_mgr_channel &channel)
{
    number->setText(channel.number);
    name->setText(channel.name);
    name->setVisible(!channel.name.isEmpty());
    const QPixmap image(channel.logo);
    logo->setVisible(!image.isNull());
    if (!image.isNull()) {
        const int side = letterPixels() * 2;
        logo->setPixmap(image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    showCaption();
}

void TAVO_ui_channelCaption::showPlaying(const QString &text)
{
    playing->setText(text);
    playing->setVisible(!text.isEmpty());
}

// Moving, resizing or going full screen takes the picture elsewhere: the caption goes with it.
// A minimised or hidden window shows no picture, and no caption.
bool TAVO_ui_channelCaption::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
        if (window->isMinimized())
            fading->vanish();
        else if (caption->isVisible())
            placeOverPicture();
        break;
    case QEvent::Hide:
        if (watched == window)
            fading->vanish();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void TAVO_ui_channelCaption::showCaption()
{
    if (!window->isVisible() || window->isMinimized())
        return;
    placeOverPicture();
    fading->show();
}

int TAVO_ui_channelCaption::letterPixels() const
{
    return std::max(smallestLetterPixels, picture->height() / picturePerLetterHeight);
}

// In the top-left corner of the picture, in letters sized by the picture's height; the number
// stands out in bold, as on a television's banner.
void TAVO_ui_channelCaption::placeOverPicture()
{
    const int letters = letterPixels();
    QFont font = caption->font();
    font.setPixelSize(letters);
    name->setFont(font);
    font.setBold(true);
    number->setFont(font);
    caption->layout()->setContentsMargins(letters / 2, letters / 3, letters / 2, letters / 3);
    caption->layout()->setSpacing(letters / 2);
    caption->adjustSize();
    const int margin = letters;
    caption->move(picture->mapToGlobal(QPoint(margin, margin)));
}

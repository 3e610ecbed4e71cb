#include "TAVO_ui_streamSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QComboBox *newSelector(const QStringList &items, int defaultIndex)
{
    auto *selector = new QComboBox;
    for (const QString &item : items)
        selector->addItem(item, QVariant());
    selector->setCurrentIndex(defaultIndex);
    return selector;
}

QLabel *newCentredLabel(const QString &text)
{
    auto *label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

TAVO_ui_streamSettings::TAVO_ui_streamSettings()
    : videoCodec(newSelector({"MPEG-2", "H.264"}, 0))
    , audioCodec(newSelector({"AAC"}, 0))
    , resolution(newSelector({"480i", "480p", "576i", "576p", "720i", "720p", "1080i"}, 5))
    , framerate(newSelector({"24", "25", "30", "50", "60"}, 2))
    , bitrate(newSelector({"1.5", "3", "4.5", "6"}, 1))
    , selectorRow(new QHBoxLayout)
{
    auto *settingsLayout = new QVBoxLayout(this);
    auto *labelLayout = new QHBoxLayout;
    settingsLayout->addLayout(labelLayout);
    for (const char *text : {"Video Codec", "Audio Codec", "Resolution", "FPS", "Bitrate"})
        labelLayout->addWidget(newCentredLabel(QString::fromLatin1(text)));
    settingsLayout->addLayout(selectorRow);
    for (QComboBox *selector : {videoCodec, audioCodec, resolution, framerate, bitrate})
        selectorRow->addWidget(selector);
}

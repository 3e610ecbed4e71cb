#include "TAVO_ui_streamSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

using Kind = TAVO_mgr_streamSettings::Kind;

QComboBox *newSelector(TAVO_mgr_streamSettings::Setting setting)
{
    const Kind &kind = TAVO_mgr_streamSettings::kinds()[setting];
    auto *selector = new QComboBox;
    selector->setObjectName(kind.name);
    for (const QString &item : kind.items)
        selector->addItem(item, QVariant());
    selector->setCurrentIndex(kind.defaultIndex);
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
    : videoCodec(newSelector(TAVO_mgr_streamSettings::VideoCodec))
    , audioCodec(newSelector(TAVO_mgr_streamSettings::AudioCodec))
    , resolution(newSelector(TAVO_mgr_streamSettings::Resolution))
    , framerate(newSelector(TAVO_mgr_streamSettings::Framerate))
    , bitrate(newSelector(TAVO_mgr_streamSettings::Bitrate))
    , selectorRow(new QHBoxLayout)
{
    auto *settingsLayout = new QVBoxLayout(this);
    settingsLayout->setContentsMargins(0, 0, 0, 0);
    auto *labelLayout = new QHBoxLayout;
    settingsLayout->addLayout(labelLayout);
    for (const Kind &kind : TAVO_mgr_streamSettings::kinds())
        labelLayout->addWidget(newCentredLabel(kind.label));
    settingsLayout->addLayout(selectorRow);
    for (QComboBox *selector : selectors())
        selectorRow->addWidget(selector);
}

void TAVO_ui_streamSettings::showSettings(const TAVO_mgr_streamSettings &settings)
{
    for (int setting = 0; setting < TAVO_mgr_streamSettings::settingCount; ++setting)
        selectors()[setting]->setCurrentIndex(settings.chosen[setting]);
}

TAVO_mgr_streamSettings TAVO_ui_streamSettings::chosen() const
{
    TAVO_mgr_streamSettings settings;
    for (int setting = 0; setting < TAVO_mgr_streamSettings::settingCount; ++setting)
        settings.chosen[setting] = selectors()[setting]->currentIndex();
    return settings;
}

std::array<QComboBox *, TAVO_mgr_streamSettings::settingCount> TAVO_ui_streamSettings::selectors() const
{
    return {videoCodec, audioCodec, resolution, framerate, bitrate};
}

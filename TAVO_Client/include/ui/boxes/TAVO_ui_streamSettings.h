#ifndef TAVO_UI_STREAMSETTINGS_H
#define TAVO_UI_STREAMSETTINGS_H

#include "TAVO_mgr_streamSettings.h"

#include <QWidget>

#include <array>

class QComboBox;
class QHBoxLayout;

// The stream settings' five labelled selectors, with the items of TAVO_mgr_streamSettings. A
// box's stream settings dialog shows them while it is open; the rest of the time this holder is
// hidden and has no parent, and owns them, so they go with the window that keeps it.
class TAVO_ui_streamSettings : public QWidget
{
    Q_OBJECT

public:
    TAVO_ui_streamSettings();

    // Shows these settings in the selectors, and reads the selectors' choices.
    void showSettings(const TAVO_mgr_streamSettings &settings);
    TAVO_mgr_streamSettings chosen() const;

    QComboBox *videoCodec;
    QComboBox *audioCodec;
    QComboBox *resolution;
    QComboBox *framerate;
    QComboBox *bitrate;
    // The row of the selectors, in the order above.
    QHBoxLayout *selectorRow;

private:
    // The selectors in the order of TAVO_mgr_streamSettings::kinds().
    std::array<QComboBox *, TAVO_mgr_streamSettings::settingCount> selectors() const;
};

#endif

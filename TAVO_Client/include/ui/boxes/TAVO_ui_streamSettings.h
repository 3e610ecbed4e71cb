#ifndef TAVO_UI_STREAMSETTINGS_H
#define TAVO_UI_STREAMSETTINGS_H

#include <QWidget>

class QComboBox;
class QHBoxLayout;

// The stream settings' five labelled selectors, built but never placed: the stream request uses
// fixed values that match their default items. This holder is never shown and owns them, so
// they go with the window that keeps it.
class TAVO_ui_streamSettings : public QWidget
{
    Q_OBJECT

public:
    TAVO_ui_streamSettings();

    QComboBox *videoCodec;
    QComboBox *audioCodec;
    QComboBox *resolution;
    QComboBox *framerate;
    QComboBox *bitrate;
    // The row of the selectors, in the order above.
    QHBoxLayout *selectorRow;
};

#endif

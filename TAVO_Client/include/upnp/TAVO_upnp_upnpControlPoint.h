#ifndef TAVO_UPNP_UPNPCONTROLPOINT_H
#define TAVO_UPNP_UPNPCONTROLPOINT_H

#include <QObject>

class QWidget;

// Finds the streamer boxes on the network by UPnP and starts the download of each new box's
// device description into the cache. Searching starts in the constructor.
class TAVO_upnp_upnpControlPoint : public QObject
{
    Q_OBJECT

public:
    explicit TAVO_upnp_upnpControlPoint(QWidget *parent);
    ~TAVO_upnp_upnpControlPoint() override;

    // Sends one more search for root devices.
    void upnpReflash();

private:
    QWidget *parentWidget;
};

#endif

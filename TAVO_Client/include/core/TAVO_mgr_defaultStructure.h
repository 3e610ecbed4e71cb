#ifndef TAVO_MGR_DEFAULTSTRUCTURE_H
#define TAVO_MGR_DEFAULTSTRUCTURE_H

#include <QString>

// Plain value records of one discovered streamer box. Every field is text, numbers included;
// they are converted only where they are used.

struct SPEC_VERSION
{
    QString major;
    QString minor;
};

struct DEVICE
{
    QString deviceType;
    QString friendlyName;
    QString manufacturer;
    QString manufacturerURL;
    QString modelDescription;
    QString modelName;
    QString modelNumber;
    QString modelURL;
    QString serialNumber;
    QString UDN;  // the bare UUID, without "uuid:"; identifies the box and names its cache folder
    QString UPC;
};

struct ICON
{
    QString mimetype;
    QString width;
    QString height;
    QString depth;
    QString url;
};

struct STREAME_RSOURCE
{
    QString sourceName;  // from the element "sourceCategory"
    QString sourceIndex;
    QString remoteControllerURL;  // absolute path of the remote-controller description on the box
};

struct TAVOSTREAMER
{
    static constexpr int sourceCount = 2;

    QString streamingPort;
    QString rcuPort;
    QString queryPort;
    QString encryption;  // "AES128" selects the encrypted stream
    STREAME_RSOURCE streamerSource[sourceCount];
};

struct TAVO_SERVER
{
    QString host;  // host and port of the URL the description was downloaded from
    QString port;
    SPEC_VERSION specVersion;
    DEVICE device;
    ICON icon;
    QString presentationURL;
    TAVOSTREAMER tavoStreamer;
};

// One remote control of a box: its id, its name and one flag per key it supports.
struct TAVO_KEY
{
    QString keyId;
    QString keyName;
#define TAVO_KEY_NAME(name) bool name = false;
#include "TAVO_mgr_keyNames.def"
#undef TAVO_KEY_NAME
};

// A key name with the flag of TAVO_KEY that carries it, in field order.
struct TAVO_KEY_FLAG
{
    const char *name;
    bool TAVO_KEY::*flag;
};

inline constexpr TAVO_KEY_FLAG tavoKeyFlags[] = {
#define TAVO_KEY_NAME(name) {#name, &TAVO_KEY::name},
#include "TAVO_mgr_keyNames.def"
#undef TAVO_KEY_NAME
};

inline constexpr int tavoKeyCount = sizeof(tavoKeyFlags) / sizeof(tavoKeyFlags[0]);

// The parsed remote-controller description of a box.
struct TAVO_KEYS
{
    static constexpr int maxControllers = 10;

    QString version;
    QString totalAmount;
    QString defaultId;
    TAVO_KEY keys[maxControllers];
};

#endif

#pragma once

#include <QByteArray>

struct BoxConfig;

// The documents a box serves, generated from its config.
QByteArray deviceDescription(const BoxConfig &box);
QByteArray remoteControllerDescription(const BoxConfig &box);
QByteArray webPage(const BoxConfig &box);
// The page a box whose encoder is down sends on its stream port.
QByteArray streamErrorPage();
// A well-formed comment of `bytes` padding characters, for oversized documents.
QByteArray paddingComment(int bytes);

#ifndef TAVO_UPNP_GOBJECTREF_H
#define TAVO_UPNP_GOBJECTREF_H

#include <memory>

// Gives a GObject reference back (g_object_unref) when its holder goes; the header needs no
// GLib, so the UPnP types stay forward-declared where they are held.
struct TAVO_upnp_gobjectUnref
{
    void operator()(void *object) const;
};

// Holds one reference to a GObject of type T.
template <typename T>
using TAVO_upnp_gobjectRef = std::unique_ptr<T, TAVO_upnp_gobjectUnref>;

#endif

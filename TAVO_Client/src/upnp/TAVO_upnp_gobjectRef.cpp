#include <glib-object.h>

#include "TAVO_upnp_gobjectRef.h"

void TAVO_upnp_gobjectUnref::operator()(void *object) const
{
    g_object_unref(object);
}

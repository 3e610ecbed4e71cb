#include <glib.h>

#include "TAVO_test_stallMeter.h"

#include <algorithm>

namespace {

struct MeterSource
{
    GSource source;
    TAVO_test_stallMeter *meter;
};

gboolean prepare(GSource *source, gint *timeout)
{
    reinterpret_cast<MeterSource *>(source)->meter->beforeWait();
    *timeout = -1;
    return FALSE;
}

gboolean check(GSource *source)
{
    reinterpret_cast<MeterSource *>(source)->meter->afterWait();
    return FALSE;
}

gboolean dispatch(GSource *, GSourceFunc, gpointer)
{
    return G_SOURCE_CONTINUE;
}

GSourceFuncs meterFuncs = {prepare, check, dispatch, nullptr, nullptr, nullptr};

} // namespace

TAVO_test_stallMeter::TAVO_test_stallMeter()
{
    restart();
    source = g_source_new(&meterFuncs, sizeof(MeterSource));
    reinterpret_cast<MeterSource *>(source)->meter = this;
    g_source_set_priority(source, G_PRIORITY_HIGH);
    g_source_attach(source, g_main_context_default());
}

TAVO_test_stallMeter::~TAVO_test_stallMeter()
{
    g_source_destroy(source);
    g_source_unref(source);
}

void TAVO_test_stallMeter::restart()
{
    sinceWait.start();
    longest = 0;
}

qint64 TAVO_test_stallMeter::longestStallMs() const
{
    return longest;
}

void TAVO_test_stallMeter::beforeWait()
{
    longest = std::max(longest, sinceWait.elapsed());
}

void TAVO_test_stallMeter::afterWait()
{
    sinceWait.restart();
}

#include <glib.h>

#include "TAVO_test_stallMeter.h"

#include <algorithm>

namespace {

constexpr unsigned tickMs = 10;

} // namespace

TAVO_test_stallMeter::TAVO_test_stallMeter()
{
    restart();
    sourceId = g_timeout_add_full(G_PRIORITY_LOW, tickMs, &TAVO_test_stallMeter::tick, this, nullptr);
}

TAVO_test_stallMeter::~TAVO_test_stallMeter()
{
    g_source_remove(sourceId);
}

void TAVO_test_stallMeter::restart()
{
    sinceTick.start();
    longest = 0;
}

qint64 TAVO_test_stallMeter::longestGapMs() const
{
    return std::max(longest, sinceTick.elapsed());
}

int TAVO_test_stallMeter::tick(void *meter)
{
    auto *self = static_cast<TAVO_test_stallMeter *>(meter);
    self->longest = std::max(self->longest, self->sinceTick.restart());
    return G_SOURCE_CONTINUE;
}

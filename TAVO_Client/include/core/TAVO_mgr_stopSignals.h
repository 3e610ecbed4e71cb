#ifndef TAVO_MGR_STOPSIGNALS_H
#define TAVO_MGR_STOPSIGNALS_H

// SIGINT and SIGTERM arrive as readable data on a descriptor the event loop watches, so a
// command ends as it would by itself: a recording between two writes, never inside one, the
// tuner after saying goodbye on the network. They are blocked before any thread
// starts, so that every thread inherits the mask and none takes them the default way.
namespace TAVO_mgr_stopSignals {

// The descriptor the stop signals arrive on; -1 when none could be made, and then the signals
// are left to end the process the default way rather than blocked with nobody to read them.
int descriptor();

} // namespace TAVO_mgr_stopSignals

#endif

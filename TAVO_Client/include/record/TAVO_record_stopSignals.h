#ifndef TAVO_RECORD_STOPSIGNALS_H
#define TAVO_RECORD_STOPSIGNALS_H

// SIGINT and SIGTERM arrive as readable data on a descriptor the event loop watches, so the
// recording stops between two writes, never inside one. They are blocked before any thread
// starts, so that every thread inherits the mask and none takes them the default way.
namespace TAVO_record_stopSignals {

// The descriptor the stop signals arrive on; -1 when none could be made, and then the signals
// are left to end the process the default way rather than blocked with nobody to read them.
int descriptor();

} // namespace TAVO_record_stopSignals

#endif

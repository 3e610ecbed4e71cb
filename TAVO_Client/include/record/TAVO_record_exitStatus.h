#ifndef TAVO_RECORD_EXITSTATUS_H
#define TAVO_RECORD_EXITSTATUS_H

// How the recording command ended, as its exit status; the manual page lists them.
enum class TAVO_record_exitStatus {
    Recorded = 0,        // the end time came, a signal asked to stop, or the reader went away, after the first byte
    Usage = 2,           // the options cannot be understood
    BoxNotFound = 3,     // no box of that name, UDN or address answered in time
    BoxBusy = 4,         // another recording command, or the client's window, records this box
    StreamRefused = 5,   // the box did not give its stream
    UnpinnedKey = 6,     // the encrypted stream came with a key other than the pinned one
    OutputUnwritable = 7,// the file or its folder cannot be made or written
    OutputFull = 8,      // the disk is full, or the file reached the size allowed
    ChannelRefused = 9,  // the box refused a key of the channel, or its remote lacks one
    NotTransportStream = 10, // the box answered with something that is no transport stream
    NothingRecorded = 11,    // stopped (a signal, the end time, the reader gone) before the first byte
    LockUnavailable = 12,    // the box's lock cannot be made in the user's own folder
};

#endif

// Interrupt and termination while the line is open: the handler only notes
// the signal; the operations stop at their next byte or block boundary and
// the front end says goodbye, which puts camera and device back as they were.
#pragma once

namespace lumicord::camlink {

// Installs handlers for SIGINT, SIGTERM, SIGHUP and SIGPIPE (without
// SA_RESTART, so a blocking read returns at once); a signal that was ignored
// when the program started is left ignored. Until then the default actions
// stand.
void install_break_handlers();

// The signal that asked us to stop, or 0.
int break_signal();

// For the camera link's own checks at byte and block boundaries: true when
// a signal asked us to stop. Noting it here tells the goodbye that an
// exchange with the camera may have been cut off half-way.
bool break_requested();

// Waits until fd has something to read or has reached its end. False when a
// signal asked us to stop, also one that came just before the wait began:
// the signals are held back while the request is tested and let through
// only inside the wait, so none can slip in between and leave us blocked.
bool wait_readable(int fd);

// Called when the goodbye starts; returns the signal that asked us to stop,
// or 0. From here on any further signal restores the device's settings and
// ends the process at once.
int begin_goodbye();

// When a break cut an exchange short the camera may still be sending: reads
// and drops what comes until the line falls silent, so that the goodbye's
// own command is answered by the camera and not by leftovers (and the line
// does not change speed under a command still on its way). Does nothing
// when no exchange was cut short.
void drop_leftovers();

}  // namespace lumicord::camlink

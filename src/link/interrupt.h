// Interrupt and termination while the line is open: the handler only notes
// the signal; the operations stop at their next byte or block boundary and
// the front end says goodbye, which puts camera and device back as they were.
#pragma once

namespace lumicord::camlink {

// Installs handlers for SIGINT, SIGTERM and SIGHUP (without SA_RESTART, so a
// blocking read returns at once).
void install_break_handlers();

// The signal that asked us to stop, or 0.
int break_signal();
inline bool break_requested() { return break_signal() != 0; }

// Called when the goodbye starts: clears the pending request so that the
// camera can still be sent back to 9600, and makes any further signal
// restore the device's settings and end the process at once.
void begin_goodbye();

}  // namespace lumicord::camlink

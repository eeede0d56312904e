// The line's entry points for the tests and the fuzzer only: the program
// itself never calls them.
#pragma once

#include <termios.h>

namespace lumicord::camlink {

// The settings the program last applied (or tried to): the device may not
// hold all of them (a pseudo-terminal drops the parity).
const termios& line_working_settings();

// Makes fd, opened and set up by the caller, the line, with nothing of the
// device's own to put back (a harness that feeds the link from a socket);
// -1 lets it go again without closing it.
void adopt_line_descriptor(int fd);

// Forgets the device's own settings, so that closing leaves the device as
// the program set it, as a run killed outright does.
void forget_device_settings();

}  // namespace lumicord::camlink

// What a serial port's driver offers beyond the terminal interface: use by
// one program alone, and low latency on USB-serial adapters. The platform's
// quirks stay in this file; where a driver lacks a feature the program runs
// without it.
#pragma once

namespace lumicord::camlink {

// What claim_port changed, so that release_port can put it back.
struct port_claim {
    bool exclusive = false;     // TIOCEXCL set
    bool flags_changed = false; // the driver's serial flags were changed...
    int saved_flags = 0;        // ...from these
};

// Makes the device refuse further opens (programs that do not lock a port,
// such as terminal programs and modem probes, get EBUSY instead of
// garbling a transfer), and asks its driver for low latency, where it has
// the setting.
port_claim claim_port(int fd);

// Undoes claim_port. Only plain system calls, so that a signal handler may
// call it.
void release_port(int fd, const port_claim& claim);

}  // namespace lumicord::camlink

#include "link/port_driver.h"

#include <sys/ioctl.h>

#if defined(LUMICORD_HAVE_SERIAL_FLAGS)
#include <linux/serial.h>
#endif

namespace lumicord::camlink {

namespace {

#if defined(LUMICORD_HAVE_SERIAL_FLAGS)
// A USB-serial adapter holds a partly filled packet back until its latency
// timer runs out (16 ms by default on FTDI chips), and the camera protocol
// waits for every block's acknowledgement and every command's answer: a
// high-resolution picture would spend up to 2 s of its 12 s at 115200 on
// the timer. Low latency makes the driver use 1 ms. A UART's driver accepts
// the flag too; pseudo-terminals and other systems have no such setting.
bool set_serial_flags(int fd, int flags) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return false;
    serial.flags = flags;
    return ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

void ask_for_low_latency(int fd, port_claim& claim) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
    if ((serial.flags & ASYNC_LOW_LATENCY) != 0) return;
    if (!set_serial_flags(fd, serial.flags | ASYNC_LOW_LATENCY)) return;
    claim.flags_changed = true;
    claim.saved_flags = serial.flags;
}

void restore_serial_flags(int fd, const port_claim& claim) {
    if (claim.flags_changed) set_serial_flags(fd, claim.saved_flags);
}
#else
void ask_for_low_latency(int, port_claim&) {}
void restore_serial_flags(int, const port_claim&) {}
#endif

}  // namespace

port_claim claim_port(int fd) {
    port_claim claim;
#if defined(TIOCEXCL)
    claim.exclusive = ioctl(fd, TIOCEXCL) == 0;
#endif
    ask_for_low_latency(fd, claim);
    return claim;
}

void release_port(int fd, const port_claim& claim) {
    restore_serial_flags(fd, claim);
#if defined(TIOCNXCL)
    if (claim.exclusive) ioctl(fd, TIOCNXCL);
#endif
}

}  // namespace lumicord::camlink

// The one place that owns the serial device: it opens it, applies the
// working settings, remembers the device's own settings and puts them back
// on every way out.
#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>

#include "link/port_driver.h"

namespace lumicord::camlink {

struct line_state_record {
    int fd = -1;                       // valid between open_line and close_line
    const char* device_path = nullptr; // as the user named it or the port table gave it
    termios working{};                 // built by the program, not read from the device
    termios saved{};                   // the device's own settings, captured at open
    bool saved_valid = false;
    port_claim claim;                  // what was changed in the driver, to undo at close
    bool gone = false;                 // the device went away under us (see line_lost)
};
extern line_state_record line_state;

// Opens the device at 9600 baud, then moves the line to baud. Does not
// return on failure: prints why on standard error and exits with status -1.
void open_line(const char* device, long baud);

// A line that goes away under the program (a USB-serial adapter unplugged,
// a pseudo-terminal hung up) is told apart from a silent camera by the
// system's own word: a hang-up that poll reports, or EIO, ENXIO or ENODEV
// from a call on the device. From then on every exchange fails at once as
// on a silent camera, and nothing that fails on the dead device is
// reported again.
bool line_lost();

// The descriptor on which poll reports the line's hang-up while the program
// waits for something else, or -1 when no line is open.
int line_hangup_descriptor();

// True when the line has indeed hung up (it is then marked lost); asked
// after line_hangup_descriptor reported something.
bool line_hung_up();

// Opens the device of the lost line again, by every rule of the first open,
// at 9600 baud; the settings found now are the ones restored at the end.
// False, saying nothing, while it cannot be opened or set up.
bool reopen_line();

// Applies baud if the line supports it (19200, 38400, 57600, 115200), else
// 9600. A failure is reported with perror and the line keeps its old speed.
void set_line_speed(long baud);

// Puts the device's own settings back and closes it; a lost line's device
// is closed without being touched, so that the lock goes at once and the
// system can give a returning adapter its old name.
void close_line();

// Puts the device's own settings back without closing it, for a process
// about to end at once. Only plain system calls, so that a signal handler
// may call it.
void restore_device();

// One write of one byte; a failure is reported with perror, never retried.
// Nothing is written on a lost line.
void send_byte(std::uint8_t byte);

// One read of at most count bytes: the count read, 0 after 1.5 s of silence
// (at once on a lost line), -1 on an error or when the user asked to stop.
long read_line(std::uint8_t* buffer, std::size_t count);

}  // namespace lumicord::camlink

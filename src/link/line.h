// The one place that owns the serial device: it opens it, applies the
// working settings, keeps the device's own settings from the first open and
// puts them back on every way out, after any number of returns.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumicord::camlink {

// Opens the device at 9600 baud, then moves the line to baud. Does not
// return on failure: prints why on standard error and exits with status -1.
// The settings found now are the device's own, the ones put back at the end.
void open_line(const char* device, long baud);

// True while the device is open (lost or not).
bool line_open();

// A line that goes away under the program (a USB-serial adapter unplugged,
// a pseudo-terminal hung up) is told apart from a silent camera by the
// system's own word: a hang-up that poll reports, or EIO, ENXIO or ENODEV
// from a call on the device. From then on every exchange fails at once as
// on a silent camera, and nothing that fails on the dead device is
// reported again.
bool line_lost();

// The descriptor on which poll reports the line's hang-up while the program
// waits for something else, or -1 when no line is open or it is lost.
int line_hangup_descriptor();

// True when the line has indeed hung up (it is then marked lost); asked
// after line_hangup_descriptor reported something, and on Windows, which
// has nothing to wait on for a hang-up, now and then while the program
// waits for a key.
bool line_hung_up();

// Opens the device of the lost line again, by every rule of the first open,
// at 9600 baud. What each open takes (the descriptor, the lock, the
// exclusive hold, low latency) is taken afresh; the settings put back at the
// end stay those of the first open, whatever the returning device has now.
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
// about to end at once: the stop handler's call (a signal handler on Unix,
// the console's control thread on Windows). Only plain system calls. The
// handler reads the line's records while the main path may be changing
// them; a lock-free flag keeps the two apart (the handler leaves the device
// alone while the main path holds it), and once the goodbye has begun the
// line is never opened again, so the records only go from open to closed,
// after the device has been put back.
void restore_device();

// One write of one byte; a failure is reported with perror, never retried.
// Nothing is written on a lost line.
void send_byte(std::uint8_t byte);

// One read of at most count bytes: the count read, 0 after 1.5 s of silence
// (at once on a lost line), -1 on an error or when the user asked to stop.
long read_line(std::uint8_t* buffer, std::size_t count);

}  // namespace lumicord::camlink

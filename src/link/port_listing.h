// The serial ports in words: the --ports listing, and the hint where to look
// when the camera is not at the device tried.
#pragma once

#include <cstdio>

#include "link/serial_ports.h"

namespace lumicord::camlink {

// One line a port: what to write after -C, then in parentheses what the
// system tells of it: "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0
// (ttyUSB0, ftdi_sio, FTDI FT232R USB UART, serial A1B2C3)", "/dev/ttyS1
// (ttyS1, 8250, -C2)". Without ports, "No serial ports found.".
void show_serial_ports(std::FILE* to, const serial_port_list& ports);

// The same ports as -C words on lines beginning "lumicord: serial ports
// here: ", the one that is tried marked "tried"; without ports, "lumicord:
// no serial ports found here.".
void hint_serial_ports(std::FILE* to, const serial_port_list& ports, const char* tried);

// The hint for this computer's own ports, on standard error.
void hint_serial_ports(const char* tried);

}  // namespace lumicord::camlink

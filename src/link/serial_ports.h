// Which serial ports this computer has, read from what the system publishes
// about them (sysfs and /dev/serial/by-id on Linux, the names of the
// call-out devices elsewhere, the registry on Windows). Nothing here opens
// a device: opening a port drops and raises its modem lines, which resets
// some devices.
#pragma once

#include <array>
#include <cstddef>

namespace lumicord::camlink {

struct serial_port {
    // What to write after -C: the stable /dev/serial/by-id name where there
    // is one, else the device.
    std::array<char, 256> device{};
    std::array<char, 64> kernel_name{};  // "ttyUSB0"; empty where the system tells nothing more than the name
    std::array<char, 64> driver{};       // "8250", "ftdi_sio", "cdc_acm", ...
    std::array<char, 128> vendor{};      // a USB device's own words, as the system gives them
    std::array<char, 128> product{};
    std::array<char, 128> serial{};
    std::array<char, 32> usb_ids{};      // "VID_0403 PID_6001" where the system gives the IDs (Windows)
    int port_number = 0;                 // 1-4 when a port number names this device, else 0
};

constexpr std::size_t MAX_SERIAL_PORTS = 64;

struct serial_port_list {
    std::array<serial_port, MAX_SERIAL_PORTS> ports{};
    std::size_t count = 0;
};

// The ports of the system whose root directory is root ("" for this
// computer's own; tests hand in a directory laid out like one), in the
// order of their kernel names (ttyS2 before ttyS10). Linux reads sysfs;
// other systems list their call-out devices; Windows reads the registry
// (root must be "" there) and orders the ports by number.
serial_port_list list_serial_ports(const char* root = "");

// True when tried, a device as the user named it, is this port: by the
// same name, or (on Unix) by the kernel's device or a link to it, resolved
// without opening anything.
bool names_port(const serial_port& port, const char* tried);

// The two ways, each usable on any system (for the tests).
serial_port_list list_sysfs_ports(const char* root);
serial_port_list list_callout_devices(const char* root);

}  // namespace lumicord::camlink

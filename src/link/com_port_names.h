// How Windows names its serial ports, as rules on text alone: they decide
// what -C means there, and are the same on every system so that they can
// be tested anywhere.
#pragma once

#include <array>

namespace lumicord::camlink {

// The highest port number Windows hands out.
inline constexpr int MAX_COM_PORT = 256;

// n for "COMn" in any case ("com7", "COM12") and for the device path
// "\\.\COMn"; 0 for anything else, "COM0", "COM007" and numbers above
// MAX_COM_PORT included.
int com_port_number(const char* text);

// True when a -C value names a device itself on Windows: a port's name or
// any device path beginning "\\.\".
bool names_windows_device(const char* text);

// True when tried, a port as the user named it, is the listed port: by its
// number whichever way it is written, else by the same name in any case,
// with or without "\\.\" before it.
bool same_windows_port(const char* listed, const char* tried);

using windows_device_path = std::array<char, 128>;

// What CreateFile opens for a device named by the user: a port's name
// becomes "\\.\COMn" (ports above 9 open only so), a device path stays as
// it is. Empty when it does not fit.
windows_device_path windows_path_for(const char* named);

}  // namespace lumicord::camlink

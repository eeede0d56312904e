// Which device a port number names on this platform.
#pragma once

namespace lumicord::camlink {

// Ports 1 to 4 name four distinct serial devices; every other number names
// port 1's device.
const char* device_path_for(int port);

// True when a -C value names a device itself rather than a port number: a
// path from / on Unix; on Windows a port's name (COM7, in any case) or a
// device path (\\.\COM12).
bool names_device(const char* value);

}  // namespace lumicord::camlink

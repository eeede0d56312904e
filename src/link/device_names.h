// Which device a port number names on this platform.
#pragma once

namespace lumicord::camlink {

// Ports 1 to 4 name four distinct serial devices; every other number names
// port 1's device.
const char* device_path_for(int port);

}  // namespace lumicord::camlink

#include <array>

#include "link/com_port_names.h"
#include "link/device_names.h"

namespace lumicord::camlink {

namespace {
constexpr std::array<const char*, 4> DEVICE_NAMES = {"COM1", "COM2", "COM3", "COM4"};
}  // namespace

const char* device_path_for(int port) {
    if (port >= 1 && port <= 4) return DEVICE_NAMES[static_cast<unsigned>(port - 1)];
    return DEVICE_NAMES[0];
}

bool names_device(const char* value) { return names_windows_device(value); }

}  // namespace lumicord::camlink

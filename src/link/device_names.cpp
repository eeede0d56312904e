#include "link/device_names.h"

#include <array>

namespace lumicord::camlink {

namespace {
#if defined(__linux__)
// Linux has no separate call-out devices; open_line copes with the carrier
// wait that a plain /dev/ttyS open would otherwise block on.
constexpr std::array<const char*, 4> DEVICE_NAMES = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};
#else
// The BSDs' call-out devices, which open without waiting for carrier.
constexpr std::array<const char*, 4> DEVICE_NAMES = {"/dev/cuaa0", "/dev/cuaa1", "/dev/cuaa2", "/dev/cuaa3"};
#endif
}  // namespace

const char* device_path_for(int port) {
    if (port >= 1 && port <= 4) return DEVICE_NAMES[static_cast<unsigned>(port - 1)];
    return DEVICE_NAMES[0];
}

}  // namespace lumicord::camlink

#include "link/device_names.h"

#include <array>

namespace lumicord::camlink {

namespace {
#if defined(__linux__)
// Linux has no separate call-out devices; open_line copes with the carrier
// wait that a plain /dev/ttyS open would otherwise block on.
constexpr std::array<const char*, 4> DEVICE_NAMES = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};
#elif defined(__FreeBSD__) || defined(__DragonFly__)
// The call-out devices, which open without waiting for carrier, are named
// cuau since FreeBSD 8 (and in DragonFly, which follows it).
constexpr std::array<const char*, 4> DEVICE_NAMES = {"/dev/cuau0", "/dev/cuau1", "/dev/cuau2", "/dev/cuau3"};
#elif defined(__OpenBSD__)
// OpenBSD's call-out devices carry two digits.
constexpr std::array<const char*, 4> DEVICE_NAMES = {"/dev/cua00", "/dev/cua01", "/dev/cua02", "/dev/cua03"};
#elif defined(__NetBSD__)
// NetBSD calls its call-out devices dty, with two digits.
constexpr std::array<const char*, 4> DEVICE_NAMES = {"/dev/dty00", "/dev/dty01", "/dev/dty02", "/dev/dty03"};
#else
// Elsewhere the call-out devices keep their older name. (macOS has no
// numbered serial ports; its users name the /dev/cu. device with -C.)
constexpr std::array<const char*, 4> DEVICE_NAMES = {"/dev/cuaa0", "/dev/cuaa1", "/dev/cuaa2", "/dev/cuaa3"};
#endif
}  // namespace

const char* device_path_for(int port) {
    if (port >= 1 && port <= 4) return DEVICE_NAMES[static_cast<unsigned>(port - 1)];
    return DEVICE_NAMES[0];
}

bool names_device(const char* value) { return value[0] == '/'; }

}  // namespace lumicord::camlink

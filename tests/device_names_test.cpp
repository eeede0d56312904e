#include "link/device_names.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

namespace lumicord::camlink {
namespace {

// The serial call-out devices of ports 1 to 4 on the system the tests run on.
#if defined(__linux__)
constexpr std::array<const char*, 4> EXPECTED = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};
#elif defined(__FreeBSD__) || defined(__DragonFly__)
constexpr std::array<const char*, 4> EXPECTED = {"/dev/cuau0", "/dev/cuau1", "/dev/cuau2", "/dev/cuau3"};
#elif defined(_WIN32)
constexpr std::array<const char*, 4> EXPECTED = {"COM1", "COM2", "COM3", "COM4"};
#elif defined(__OpenBSD__)
constexpr std::array<const char*, 4> EXPECTED = {"/dev/cua00", "/dev/cua01", "/dev/cua02", "/dev/cua03"};
#elif defined(__NetBSD__)
constexpr std::array<const char*, 4> EXPECTED = {"/dev/dty00", "/dev/dty01", "/dev/dty02", "/dev/dty03"};
#else
constexpr std::array<const char*, 4> EXPECTED = {"/dev/cuaa0", "/dev/cuaa1", "/dev/cuaa2", "/dev/cuaa3"};
#endif

TEST(device_path_for_test, ports_one_to_four_are_the_first_four_serial_ports) {
    for (int port = 1; port <= 4; ++port)
        EXPECT_STREQ(device_path_for(port), EXPECTED[static_cast<unsigned>(port - 1)]) << port;
}

TEST(device_path_for_test, ports_one_to_four_are_distinct) {
    const std::set<std::string> names{device_path_for(1), device_path_for(2), device_path_for(3), device_path_for(4)};
    EXPECT_EQ(names.size(), 4u);
}

TEST(device_path_for_test, any_other_port_is_port_one) {
    for (int port : {0, 5, -1, 100, -2147483647 - 1, 2147483647})
        EXPECT_STREQ(device_path_for(port), device_path_for(1)) << port;
}

}  // namespace
}  // namespace lumicord::camlink

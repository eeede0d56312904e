#include "link/device_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace lumicord::camlink {
namespace {

#if defined(__linux__)
TEST(device_path_for_test, ports_one_to_four_are_the_first_four_serial_ports) {
    EXPECT_STREQ(device_path_for(1), "/dev/ttyS0");
    EXPECT_STREQ(device_path_for(2), "/dev/ttyS1");
    EXPECT_STREQ(device_path_for(3), "/dev/ttyS2");
    EXPECT_STREQ(device_path_for(4), "/dev/ttyS3");
}
#else
TEST(device_path_for_test, ports_one_to_four_are_distinct) {
    const std::set<std::string> names{device_path_for(1), device_path_for(2), device_path_for(3), device_path_for(4)};
    EXPECT_EQ(names.size(), 4u);
}
#endif

TEST(device_path_for_test, any_other_port_is_port_one) {
    for (int port : {0, 5, -1, 100, -2147483647 - 1, 2147483647})
        EXPECT_STREQ(device_path_for(port), device_path_for(1)) << port;
}

}  // namespace
}  // namespace lumicord::camlink

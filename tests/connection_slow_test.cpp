// Connections that fail: each stage gives up after three tries of
// 0.1 s + 1.5 s.
#include <gtest/gtest.h>
#include <termios.h>

#include <string>
#include <vector>

#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"
#include "sim/camera_data.h"
#include "tests/support/linked_camera.h"

namespace lumicord::camlink {
namespace {

using lumicord::testing::commands_in;
using lumicord::testing::linked_camera;
using lumicord::testing::silent_from;

const std::string INIT_9600 = "41 00 96 00 00 00 00 1A";

TEST(camera_connect_slow_test, no_camera_at_9600_gives_no_data_after_three_tries) {
    linked_camera link(sim::camera_with_pictures(0), silent_from(1));
    EXPECT_EQ(link.connect(38400), RES_NO_DATA);
    EXPECT_EQ(commands_in(link.bytes_since(0)), std::vector<std::string>(3, INIT_9600));
}

TEST(camera_connect_slow_test, a_camera_that_will_not_change_speed_leaves_the_line_at_9600) {
    linked_camera link(sim::camera_with_pictures(0), silent_from(2));
    EXPECT_EQ(link.connect(19200), RES_NO_DATA);
    const termios t = link.sim().line_settings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    std::vector<std::string> expected{INIT_9600};
    expected.insert(expected.end(), 3, "41 00 19 20 00 00 00 1A");
    EXPECT_EQ(commands_in(link.bytes_since(0)), expected);
    link.sim().settle();
    for (const auto& b : link.sim().received()) EXPECT_EQ(b.line_speed, 9600);
}

}  // namespace
}  // namespace lumicord::camlink

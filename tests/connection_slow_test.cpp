// Connections that fail or are found late: each stage gives up after three
// tries of 0.1 s + 1.5 s.
#include <gtest/gtest.h>
#include <termios.h>

#include <string>
#include <vector>

#include "link/baud.h"
#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"
#include "link/termios_speed.h"
#include "sim/camera_data.h"
#include "tests/support/linked_camera.h"

namespace lumicord::camlink {
namespace {

using lumicord::testing::commands_in;
using lumicord::testing::hex;
using lumicord::testing::linked_camera;
using lumicord::testing::silent_from;

const std::string INIT_9600 = "41 00 96 00 00 00 00 1A";

TEST(camera_connect_slow_test, no_camera_gives_no_data_after_three_tries_and_two_at_the_working_speed) {
    linked_camera link(sim::camera_with_pictures(0), silent_from(1));
    EXPECT_EQ(link.connect(38400), RES_NO_DATA);
    std::vector<std::string> expected(3, INIT_9600);
    expected.insert(expected.end(), 2, "41 00 38 40 00 00 00 1A");
    EXPECT_EQ(commands_in(link.bytes_since(0)), expected);
    // Back at 9600 with 9600's code, as if the working speed had not been tried.
    const termios t = link.sim().line_settings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(hex({command_table[CMD_INIT].begin() + 1, command_table[CMD_INIT].end()}), INIT_9600);
}

// A run that ended without sending the camera home (killed, its cable
// pulled) leaves it at the working speed, where 9600 is only noise to it.
class camera_left_at_speed_test : public ::testing::TestWithParam<long> {};

TEST_P(camera_left_at_speed_test, is_found_there_and_goes_home_at_the_end) {
    const long speed = GetParam();
    linked_camera link(sim::camera_with_pictures(1));
    ASSERT_EQ(link.connect(speed), RES_OK);
    close_line();
    lumicord::testing::reset_link_records();
    const std::size_t from = link.commands_since(0).size();

    ASSERT_EQ(link.connect(speed), RES_OK);
    EXPECT_EQ(link.sim().camera_speed(), speed);
    const termios t = link.sim().line_settings();
    EXPECT_EQ(cfgetospeed(&t), speed_constant(speed));
    // Heard: only the working speed's CMD_INIT at that speed, the question
    // whether it is there and the last stage's confirmation.
    const auto heard = link.commands_since(from);
    const auto code = baud_code_for(speed);
    ASSERT_EQ(heard.size(), 2u);
    for (const auto& c : heard) {
        EXPECT_EQ(hex(c.bytes), hex({0x41, 0x00, code[0], code[1], 0x00, 0x00, 0x00, 0x1A}));
        EXPECT_EQ(c.line_speed, speed);
    }
    EXPECT_EQ(query_status(), RES_OK);
    EXPECT_EQ(camera_state.pictures_taken, 1);
    camera_disconnect();
    EXPECT_EQ(link.sim().camera_speed(), 9600);
}

INSTANTIATE_TEST_SUITE_P(speeds, camera_left_at_speed_test, ::testing::Values(19200L, 38400L, 57600L, 115200L));

TEST(camera_disconnect_slow_test, a_camera_that_does_not_acknowledge_going_home_is_asked_three_times) {
    // Silent from the goodbye's CMD_INIT on: it may not have heard it.
    linked_camera link(sim::camera_with_pictures(0), silent_from(4));
    ASSERT_EQ(link.connect(38400), RES_OK);
    camera_disconnect();
    std::vector<std::string> expected{INIT_9600, "41 00 38 40 00 00 00 1A", "41 00 38 40 00 00 00 1A"};
    expected.insert(expected.end(), 3, INIT_9600);
    EXPECT_EQ(commands_in(link.bytes_since(0)), expected);
    const auto log = link.sim().received();
    ASSERT_EQ(log.size(), 6 * COMMAND_LENGTH);
    for (std::size_t i = 3 * COMMAND_LENGTH; i < log.size(); ++i) EXPECT_EQ(log[i].line_speed, 38400);
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

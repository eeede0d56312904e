#include <gtest/gtest.h>
#include <termios.h>

#include <string>
#include <vector>

#include "link/baud.h"
#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"
#include "link/line_testing.h"
#include "sim/camera_data.h"
#include "tests/support/line_settings.h"
#include "tests/support/linked_camera.h"

namespace lumicord::camlink {
namespace {

using lumicord::testing::hex;
using lumicord::testing::linked_camera;

const std::string INIT_9600 = "41 00 96 00 00 00 00 1A";

struct speed_case {
    long baud;
    const char* init;  // CMD_INIT naming that speed
    speed_t constant;
};

// The bytes received, as one "speed: bytes" line per command.
std::vector<std::string> commands_with_speed(linked_camera& link) {
    std::vector<std::string> lines;
    for (const auto& c : link.commands_since(0)) lines.push_back(std::to_string(c.line_speed) + ": " + hex(c.bytes));
    return lines;
}

speed_t line_speed_of(linked_camera& link) {
    const termios t = link.sim().line_settings();
    EXPECT_EQ(cfgetispeed(&t), cfgetospeed(&t));
    return cfgetospeed(&t);
}

void PrintTo(const speed_case& s, std::ostream* out) { *out << s.baud; }

class connect_at_speed_test : public ::testing::TestWithParam<speed_case> {};

TEST_P(connect_at_speed_test, moves_camera_and_line_together_and_back) {
    const speed_case s = GetParam();
    linked_camera link(sim::camera_with_pictures(0));
    ASSERT_EQ(link.connect(s.baud), RES_OK);
    EXPECT_EQ(link.sim().camera_speed(), s.baud);
    EXPECT_EQ(line_speed_of(link), s.constant);
    const std::string at_speed = std::to_string(s.baud) + ": " + s.init;
    EXPECT_EQ(commands_with_speed(link), (std::vector<std::string>{"9600: " + INIT_9600, "9600: " + std::string(s.init), at_speed}));
    // Every later exchange re-asserts the working speed.
    EXPECT_EQ(query_status(), RES_OK);
    EXPECT_EQ(hex(link.commands_since(3).at(0).bytes), s.init);

    const std::size_t before = link.commands_since(0).size();
    camera_disconnect();
    const auto goodbye = link.commands_since(before);
    ASSERT_EQ(goodbye.size(), 1u);
    EXPECT_EQ(hex(goodbye[0].bytes), INIT_9600);
    EXPECT_EQ(goodbye[0].line_speed, s.baud);
    EXPECT_EQ(link.sim().camera_speed(), 9600);
    EXPECT_FALSE(line_open());
}

INSTANTIATE_TEST_SUITE_P(speeds, connect_at_speed_test,
                         ::testing::Values(speed_case{9600, "41 00 96 00 00 00 00 1A", B9600},
                                           speed_case{19200, "41 00 19 20 00 00 00 1A", B19200},
                                           speed_case{38400, "41 00 38 40 00 00 00 1A", B38400},
                                           speed_case{57600, "41 00 57 60 00 00 00 1A", B57600},
                                           speed_case{115200, "41 00 11 52 00 00 00 1A", B115200}),
                         [](const auto& info) { return std::to_string(info.param.baud); });

class connect_at_unsupported_speed_test : public ::testing::TestWithParam<long> {};

TEST_P(connect_at_unsupported_speed_test, stays_at_9600) {
    linked_camera link(sim::camera_with_pictures(0));
    ASSERT_EQ(link.connect(GetParam()), RES_OK);
    EXPECT_EQ(commands_with_speed(link),
              (std::vector<std::string>{"9600: " + INIT_9600, "9600: " + INIT_9600, "9600: " + INIT_9600}));
    EXPECT_EQ(line_speed_of(link), static_cast<speed_t>(B9600));
    EXPECT_EQ(link.sim().camera_speed(), 9600);
}

INSTANTIATE_TEST_SUITE_P(speeds, connect_at_unsupported_speed_test, ::testing::Values(14400L, 300L, 0L, -38400L),
                         [](const auto& info) {
                             return info.param < 0 ? "minus" + std::to_string(-info.param) : std::to_string(info.param);
                         });

TEST(camera_connect_test, exact_bytes_at_38400_and_device_settings_restored) {
    linked_camera link(sim::camera_with_pictures(0));
    const termios before = link.sim().line_settings();
    ASSERT_EQ(link.connect(38400), RES_OK);
    camera_disconnect();

    // Every byte in eights, each with the speed the line had: a command
    // must not straddle a speed change.
    link.sim().settle();
    const auto log = link.sim().received();
    ASSERT_EQ(log.size() % COMMAND_LENGTH, 0u);
    std::vector<std::string> wire;
    for (std::size_t i = 0; i < log.size(); i += COMMAND_LENGTH) {
        std::vector<std::uint8_t> bytes;
        for (std::size_t j = i; j < i + COMMAND_LENGTH; ++j) {
            EXPECT_TRUE(log[j].heard) << j;
            EXPECT_EQ(log[j].line_speed, log[i].line_speed) << j;
            bytes.push_back(log[j].value);
        }
        wire.push_back(std::to_string(log[i].line_speed) + ": " + hex(bytes));
    }
    EXPECT_EQ(wire, (std::vector<std::string>{
                        "9600: 41 00 96 00 00 00 00 1A",
                        "9600: 41 00 38 40 00 00 00 1A",
                        "38400: 41 00 38 40 00 00 00 1A",
                        "38400: 41 00 96 00 00 00 00 1A",
                    }));

    EXPECT_TRUE(testing::same_settings(before, link.sim().line_settings()));
}

TEST(camera_connect_test, any_byte_acknowledges_while_the_model_is_unknown) {
    sim::fault_config faults;
    faults.ack_byte = 0x00;
    linked_camera link(sim::camera_with_pictures(0), faults);
    ASSERT_EQ(link.connect(57600), RES_OK);
    EXPECT_EQ(link.commands_since(0).size(), 3u);
    EXPECT_EQ(link.sim().camera_speed(), 57600);
}

TEST(camera_disconnect_test, leaves_the_line_at_9600_before_closing_it) {
    linked_camera link(sim::camera_with_pictures(0));
    ASSERT_EQ(link.connect(115200), RES_OK);
    // With no settings of its own to put back, the device keeps what the
    // disconnect left on it.
    forget_device_settings();
    camera_disconnect();
    EXPECT_EQ(line_speed_of(link), static_cast<speed_t>(B9600));
    EXPECT_EQ(link.sim().camera_speed(), 9600);
}

TEST(camera_disconnect_test, on_a_lost_line_only_closes_the_device) {
    linked_camera link(sim::camera_with_pictures(0));
    ASSERT_EQ(link.connect(38400), RES_OK);
    link.sim().hang_up_now();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(query_status(), RES_NO_DATA);
    ASSERT_TRUE(line_lost());
    camera_disconnect();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(line_open());
}

class camera_refind_test : public ::testing::TestWithParam<bool> {};

// The line went away and came back: the camera kept its power and speed
// (an adapter unplugged), or lost them (switched off meanwhile). Once the
// camera is known as a DC20, its silence carries a second bit.
TEST_P(camera_refind_test, finds_the_camera_where_it_is_and_moves_both_to_the_working_speed) {
    const bool kept_its_speed = GetParam();
    linked_camera link(sim::camera_with_pictures(1));
    if (kept_its_speed) {
        ASSERT_EQ(link.connect(38400), RES_OK);
        ASSERT_EQ(query_status(), RES_OK);
        ASSERT_EQ(camera_state.model, MODEL_DC20);
    } else {
        link.open_line(9600);
        camera_state.model = MODEL_DC20;
    }
    close_line();
    ASSERT_TRUE(reopen_line());
    const std::size_t from = link.commands_since(0).size();
    EXPECT_EQ(camera_refind(38400), RES_OK);
    EXPECT_EQ(link.sim().camera_speed(), 38400);
    EXPECT_EQ(line_speed_of(link), static_cast<speed_t>(B38400));
    // Heard: the move from 9600, then the check at the working speed; or,
    // for a camera that kept its speed, only what reached it there.
    std::vector<std::string> heard;
    for (const auto& c : link.commands_since(from)) heard.push_back(std::to_string(c.line_speed) + ": " + hex(c.bytes));
    const std::string at_38400 = "38400: 41 00 38 40 00 00 00 1A";
    if (kept_its_speed)
        EXPECT_EQ(heard, (std::vector<std::string>{at_38400, at_38400}));
    else
        EXPECT_EQ(heard, (std::vector<std::string>{"9600: " + INIT_9600, "9600: 41 00 38 40 00 00 00 1A", at_38400}));
}

INSTANTIATE_TEST_SUITE_P(camera, camera_refind_test, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "kept_its_speed" : "lost_its_power"; });

TEST(camera_disconnect_test, does_nothing_when_the_line_is_not_open) {
    linked_camera link(sim::camera_with_pictures(0));
    camera_disconnect();
    EXPECT_EQ(link.byte_count(), 0u);
}

TEST(camera_sim_test, a_camera_at_another_speed_hears_nothing) {
    linked_camera link(sim::camera_with_pictures(0));
    link.open_line(9600);
    // Move the line without telling the camera.
    set_line_speed(38400);
    EXPECT_EQ(send_command(CMD_INIT), RES_NO_DATA);
    link.sim().settle();
    const auto log = link.sim().received();
    ASSERT_EQ(log.size(), 8u);
    for (const auto& b : log) {
        EXPECT_FALSE(b.heard);
        EXPECT_EQ(b.line_speed, 38400);
    }
    EXPECT_TRUE(link.sim().commands().empty());
    EXPECT_EQ(link.sim().camera_speed(), 9600);
}

}  // namespace
}  // namespace lumicord::camlink

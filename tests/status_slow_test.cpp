// A camera that stops answering costs the status exchange ten tries of
// 0.1 s + 1.5 s at each of its two commands.
#include <gtest/gtest.h>

#include <chrono>

#include "link/camera.h"
#include "link/command.h"
#include "sim/camera_data.h"
#include "tests/support/elapsed.h"
#include "tests/support/linked_camera.h"

namespace lumicord::camlink {
namespace {

using lumicord::testing::commands_in;
using lumicord::testing::hex;
using lumicord::testing::linked_camera;
using lumicord::testing::seconds_since;

constexpr double TRY_SECONDS = 13.0 / 128.0 + 1.5;

TEST(query_status_slow_test, a_silent_camera_gets_ten_inits) {
    sim::fault_config faults;
    faults.silent_from_command = 1;
    linked_camera link(sim::camera_with_pictures(2), faults);
    link.open_line();
    const camera_state_record before = camera_state;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(query_status(), RES_NO_DATA);
    EXPECT_GE(seconds_since(start), 10 * TRY_SECONDS);
    const auto bytes = link.bytes_since(0);
    EXPECT_EQ(bytes.size(), 10 * COMMAND_LENGTH);
    EXPECT_EQ(commands_in(bytes), std::vector<std::string>(10, "41 00 96 00 00 00 00 1A"));
    EXPECT_EQ(camera_state.model, before.model);
}

TEST(query_status_slow_test, a_camera_silent_after_init_gets_ten_status_commands) {
    sim::fault_config faults;
    faults.silent_from_command = 2;
    linked_camera link(sim::camera_with_pictures(2), faults);
    link.open_line();
    EXPECT_EQ(query_status(), RES_NO_DATA);
    std::vector<std::string> expected{"41 00 96 00 00 00 00 1A"};
    expected.insert(expected.end(), 10, "7F 00 00 00 00 00 00 1A");
    EXPECT_EQ(commands_in(link.bytes_since(0)), expected);
}

}  // namespace
}  // namespace lumicord::camlink

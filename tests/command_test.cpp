#include "link/command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "link/camera.h"
#include "sim/camera_data.h"
#include "tests/support/elapsed.h"
#include "tests/support/linked_camera.h"

namespace lumicord::camlink {
namespace {

using lumicord::testing::hex;
using lumicord::testing::linked_camera;
using lumicord::testing::seconds_since;
using lumicord::testing::silent_from;

constexpr double COMMAND_PAUSE = 13.0 / 128.0;
constexpr double LINE_TIMEOUT = 1.5;

sim::fault_config acknowledging_with(std::uint8_t byte) {
    sim::fault_config faults;
    faults.ack_byte = byte;
    return faults;
}

TEST(send_command_test, sends_the_eight_bytes_and_takes_d1_as_acknowledgement) {
    linked_camera link(sim::camera_with_pictures(0));
    link.open_line();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send_command(CMD_STATUS), RES_OK);
    // Every command waits its pause first.
    EXPECT_GE(seconds_since(start), COMMAND_PAUSE);
    const auto bytes = link.bytes_since(0);
    EXPECT_EQ(hex(bytes), "7F 00 00 00 00 00 00 1A");
    const auto heard = link.commands_since(0);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].line_speed, 9600);
}

TEST(send_command_test, sends_a_patched_command_and_the_patch_stays) {
    linked_camera link(sim::camera_with_pictures(0));
    link.open_line();
    patch_command(CMD_PICTURE_INFO, 3, 7);
    EXPECT_EQ(send_command(CMD_PICTURE_INFO), RES_OK);
    EXPECT_EQ(send_command(CMD_PICTURE_INFO), RES_OK);
    const auto heard = link.commands_since(0);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(hex(heard[0].bytes), "55 00 00 07 00 00 00 1A");
    EXPECT_EQ(hex(heard[1].bytes), "55 00 00 07 00 00 00 1A");
}

TEST(send_command_test, before_the_model_is_known_any_byte_acknowledges) {
    linked_camera link(sim::camera_with_pictures(0), acknowledging_with(0x55));
    link.open_line();
    ASSERT_EQ(camera_state.model, MODEL_DC25);
    EXPECT_EQ(send_command(CMD_INIT), RES_OK);
    EXPECT_EQ(link.commands_since(0).size(), 1u);
}

TEST(send_command_test, before_the_model_is_known_silence_is_no_data_after_pause_and_timeout) {
    linked_camera link(sim::camera_with_pictures(0), silent_from(1));
    link.open_line();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send_command(CMD_INIT), RES_NO_DATA);
    EXPECT_GE(seconds_since(start), COMMAND_PAUSE + LINE_TIMEOUT);
    EXPECT_EQ(link.bytes_since(0).size(), 8u);
}

TEST(send_command_test, once_a_dc20_has_reported_silence_is_not_found) {
    // Commands 1 and 2 are the status exchange's CMD_INIT and CMD_STATUS.
    linked_camera link(sim::camera_with_pictures(0), silent_from(3));
    link.open_line();
    ASSERT_EQ(query_status(), RES_OK);
    ASSERT_EQ(camera_state.model, MODEL_DC20);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send_command(CMD_INIT), RES_NOT_FOUND);
    EXPECT_GE(seconds_since(start), COMMAND_PAUSE + LINE_TIMEOUT);
}

TEST(send_command_test, a_dc25_keeps_taking_any_byte_as_acknowledgement) {
    linked_camera link(sim::camera_with_pictures(0, false, MODEL_DC25), acknowledging_with(0x00));
    link.open_line();
    ASSERT_EQ(query_status(), RES_OK);
    ASSERT_EQ(camera_state.model, MODEL_DC25);
    EXPECT_EQ(send_command(CMD_INIT), RES_OK);
}

TEST(send_command_test, a_dc25_that_falls_silent_gives_no_data) {
    linked_camera link(sim::camera_with_pictures(0, false, MODEL_DC25), silent_from(3));
    link.open_line();
    ASSERT_EQ(query_status(), RES_OK);
    EXPECT_EQ(send_command(CMD_INIT), RES_NO_DATA);
}

// Only a camera known to be a DC20 is held to 0xD1; a model byte the
// program does not know is not taken for one.
TEST(send_command_test, a_camera_of_another_model_takes_any_byte_as_acknowledgement) {
    constexpr std::uint8_t OTHER_MODEL = 0x30;
    {
        linked_camera link(sim::camera_with_pictures(0, false, OTHER_MODEL), acknowledging_with(0x55));
        link.open_line();
        ASSERT_EQ(query_status(), RES_OK);
        ASSERT_EQ(camera_state.model, OTHER_MODEL);
        EXPECT_EQ(send_command(CMD_INIT), RES_OK);
        EXPECT_EQ(send_command_tries(CMD_STATUS, 3), RES_OK);
    }
    linked_camera link(sim::camera_with_pictures(0, false, OTHER_MODEL), silent_from(3));
    link.open_line();
    ASSERT_EQ(query_status(), RES_OK);
    ASSERT_EQ(camera_state.model, OTHER_MODEL);
    EXPECT_EQ(send_command(CMD_INIT), RES_NO_DATA);
}

TEST(send_command_tries_test, stops_at_the_first_acknowledgement) {
    linked_camera link(sim::camera_with_pictures(0));
    link.open_line();
    EXPECT_EQ(send_command_tries(CMD_INIT, 10), RES_OK);
    EXPECT_EQ(link.commands_since(0).size(), 1u);
}

TEST(send_command_tries_test, uses_every_try_and_returns_the_last_result) {
    linked_camera link(sim::camera_with_pictures(0), acknowledging_with(0x55));
    link.open_line();
    // The status exchange still works: the model is not known yet. Once a
    // DC20 has reported, the wrong byte is wrong data.
    ASSERT_EQ(query_status(), RES_OK);
    ASSERT_EQ(camera_state.model, MODEL_DC20);
    const std::size_t before = link.commands_since(0).size();
    EXPECT_EQ(send_command_tries(CMD_INIT, 10), RES_WRONG_DATA);
    EXPECT_EQ(link.commands_since(before).size(), 10u);
}

}  // namespace
}  // namespace lumicord::camlink

// Blocks that keep stopping half-way: every attempt waits out the line's
// 1.5 s timeout.
#include "link/block.h"

#include <gtest/gtest.h>

#include <chrono>

#include "link/camera.h"
#include "link/command.h"
#include "sim/camera_data.h"
#include "tests/support/elapsed.h"
#include "tests/support/linked_camera.h"

namespace lumicord::camlink {
namespace {

using lumicord::testing::hex;
using lumicord::testing::linked_camera;
using lumicord::testing::seconds_since;

TEST(receive_block_slow_test, a_camera_silent_after_a_cut_block_gives_bad_packet_after_five_timeouts) {
    sim::fault_config faults;
    faults.cut_block = 1;
    faults.cut_after = 100;
    faults.silent_after_cut = true;
    linked_camera link(sim::camera_with_pictures(2), faults);
    link.open_line();
    ASSERT_EQ(send_command(CMD_STATUS), RES_OK);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receive_block(SMALL_BLOCK), RES_BAD_PACKET);
    EXPECT_GE(seconds_since(start), 5 * 1.4);
    EXPECT_EQ(hex(link.bytes_since(COMMAND_LENGTH)), "E3 E3 E3 E3");
}

TEST(receive_block_slow_test, a_block_cut_off_twice_is_accepted_on_the_third_attempt) {
    const auto camera = sim::camera_with_pictures(1);
    sim::fault_config faults;
    faults.cut_block = 1;
    faults.cut_after = 700;
    faults.cut_block_attempts = 2;
    linked_camera link(camera, faults);
    link.open_line();
    ASSERT_EQ(send_command(CMD_THUMBNAIL), RES_OK);
    EXPECT_EQ(receive_block(LARGE_BLOCK), RES_OK);
    const auto thumbnail = sim::thumbnail_data(camera.pictures[0]);
    EXPECT_TRUE(std::equal(thumbnail.begin(), thumbnail.begin() + LARGE_BLOCK, transfer_buffer.begin()));
    EXPECT_EQ(hex(link.bytes_since(COMMAND_LENGTH)), "E3 E3");
}

}  // namespace
}  // namespace lumicord::camlink

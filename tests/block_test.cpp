#include "link/block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"
#include "sim/camera_data.h"
#include "tests/support/elapsed.h"
#include "tests/support/linked_camera.h"

namespace lumicord::camlink {
namespace {

using lumicord::testing::hex;
using lumicord::testing::linked_camera;
using lumicord::testing::seconds_since;

std::vector<std::uint8_t> received_data(std::size_t n) {
    return {transfer_buffer.begin(), transfer_buffer.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<std::uint8_t> status_of(const sim::camera_config& camera) {
    const auto block = sim::status_block(camera);
    return {block.begin(), block.end()};
}

// A camera whose first block (the status block) has a bad checksum for the
// given number of attempts.
sim::fault_config bad_first_block(int attempts) {
    sim::fault_config faults;
    faults.bad_block = 1;
    faults.bad_block_attempts = attempts;
    return faults;
}

// The bytes the host sent after its command.
std::vector<std::uint8_t> replies_after_command(linked_camera& link) {
    const auto bytes = link.bytes_since(COMMAND_LENGTH);
    return bytes;
}

TEST(block_checksum_ok_test, compares_the_xor_of_the_data_with_the_byte_after_it) {
    std::vector<std::uint8_t> block{0x12, 0x34, 0xF0, 0x00};
    block.push_back(0x12 ^ 0x34 ^ 0xF0);
    EXPECT_TRUE(block_checksum_ok(block.data(), 4));
    block[2] ^= 0x01;
    EXPECT_FALSE(block_checksum_ok(block.data(), 4));
    // An empty block's checksum is zero.
    const std::uint8_t zero = 0;
    EXPECT_TRUE(block_checksum_ok(&zero, 0));
}

TEST(receive_block_test, receives_a_small_block_without_replying_to_it) {
    const auto camera = sim::camera_with_pictures(3);
    linked_camera link(camera);
    link.open_line();
    ASSERT_EQ(send_command(CMD_STATUS), RES_OK);
    ASSERT_EQ(receive_block(SMALL_BLOCK), RES_OK);
    EXPECT_EQ(received_data(SMALL_BLOCK), status_of(camera));
    // The caller, not the receiver, accepts the block.
    EXPECT_EQ(replies_after_command(link).size(), 0u);
}

TEST(receive_block_test, receives_large_blocks_one_after_another) {
    const auto camera = sim::camera_with_pictures(1);
    linked_camera link(camera);
    link.open_line();
    const auto thumbnail = sim::thumbnail_data(camera.pictures[0]);
    ASSERT_EQ(send_command(CMD_THUMBNAIL), RES_OK);
    for (std::size_t offset = 0; offset < thumbnail.size(); offset += LARGE_BLOCK) {
        ASSERT_EQ(receive_block(LARGE_BLOCK), RES_OK) << offset;
        const std::vector<std::uint8_t> expected(thumbnail.begin() + static_cast<std::ptrdiff_t>(offset),
                                                 thumbnail.begin() + static_cast<std::ptrdiff_t>(offset + LARGE_BLOCK));
        EXPECT_EQ(received_data(LARGE_BLOCK), expected) << offset;
        send_byte(BLOCK_OK);
    }
    EXPECT_EQ(await_completion(), RES_OK);
    const auto replies = replies_after_command(link);
    EXPECT_EQ(replies, std::vector<std::uint8_t>(thumbnail.size() / LARGE_BLOCK, BLOCK_OK));
}

TEST(receive_block_test, a_bad_block_is_asked_for_again_and_the_fifth_attempt_may_still_succeed) {
    const auto camera = sim::camera_with_pictures(2);
    linked_camera link(camera, bad_first_block(4));
    link.open_line();
    ASSERT_EQ(send_command(CMD_STATUS), RES_OK);
    EXPECT_EQ(receive_block(SMALL_BLOCK), RES_OK);
    EXPECT_EQ(received_data(SMALL_BLOCK), status_of(camera));
    EXPECT_EQ(hex(replies_after_command(link)), "E3 E3 E3 E3");
}

TEST(receive_block_test, five_bad_attempts_give_bad_packet_after_four_resend_requests) {
    linked_camera link(sim::camera_with_pictures(2), bad_first_block(5));
    link.open_line();
    ASSERT_EQ(send_command(CMD_STATUS), RES_OK);
    EXPECT_EQ(receive_block(SMALL_BLOCK), RES_BAD_PACKET);
    // The camera sent a fifth attempt, so every request was heard; nothing
    // follows the last one.
    EXPECT_EQ(link.sim().blocks_sent(), 1);
    EXPECT_EQ(hex(replies_after_command(link)), "E3 E3 E3 E3");
}

TEST(receive_block_test, each_block_gets_its_own_five_attempts) {
    const auto camera = sim::camera_with_pictures(1);
    sim::fault_config faults;
    // Block 2 of the thumbnail is bad four times; block 1 used no resends,
    // and block 2 must not inherit fewer than four.
    faults.bad_block = 2;
    faults.bad_block_attempts = 4;
    linked_camera link(camera, faults);
    link.open_line();
    const auto thumbnail = sim::thumbnail_data(camera.pictures[0]);
    ASSERT_EQ(send_command(CMD_THUMBNAIL), RES_OK);
    ASSERT_EQ(receive_block(LARGE_BLOCK), RES_OK);
    send_byte(BLOCK_OK);
    ASSERT_EQ(receive_block(LARGE_BLOCK), RES_OK);
    const std::vector<std::uint8_t> second(thumbnail.begin() + LARGE_BLOCK, thumbnail.begin() + 2 * LARGE_BLOCK);
    EXPECT_EQ(received_data(LARGE_BLOCK), second);
    EXPECT_EQ(hex(replies_after_command(link)), "D2 E3 E3 E3 E3");
}

TEST(receive_block_test, a_block_cut_off_is_asked_for_again_after_the_timeout) {
    const auto camera = sim::camera_with_pictures(2);
    sim::fault_config faults;
    faults.cut_block = 1;
    faults.cut_after = 100;
    faults.cut_block_attempts = 1;
    linked_camera link(camera, faults);
    link.open_line();
    ASSERT_EQ(send_command(CMD_STATUS), RES_OK);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receive_block(SMALL_BLOCK), RES_OK);
    EXPECT_GE(seconds_since(start), 1.4);
    EXPECT_EQ(received_data(SMALL_BLOCK), status_of(camera));
    EXPECT_EQ(hex(replies_after_command(link)), "E3");
}

TEST(await_completion_test, silence_is_no_data_after_the_timeout) {
    sim::fault_config faults;
    faults.no_completion = true;
    linked_camera link(sim::camera_with_pictures(0), faults);
    link.open_line();
    ASSERT_EQ(send_command(CMD_STATUS), RES_OK);
    ASSERT_EQ(receive_block(SMALL_BLOCK), RES_OK);
    send_byte(BLOCK_OK);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(await_completion(), RES_NO_DATA);
    EXPECT_GE(seconds_since(start), 1.4);
}

}  // namespace
}  // namespace lumicord::camlink

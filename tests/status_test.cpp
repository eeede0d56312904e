#include "link/status.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "link/block.h"
#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"
#include "sim/camera_data.h"
#include "tests/support/linked_camera.h"

namespace lumicord::camlink {
namespace {

using lumicord::testing::hex;
using lumicord::testing::linked_camera;

using status_bytes = std::array<std::uint8_t, SMALL_BLOCK>;

// A status block where every byte holds its own index, so a field taken from
// the wrong place shows which one it came from.
status_bytes indexed_block(std::uint8_t model) {
    status_bytes block{};
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
    block[1] = model;
    return block;
}

camera_state_record decoded(const status_bytes& block) {
    camera_state_record state;
    decode_status(block.data(), state);
    return state;
}

TEST(decode_status_test, dc20_layout) {
    const camera_state_record s = decoded(indexed_block(0x20));
    EXPECT_EQ(s.model, 0x20);
    EXPECT_EQ(s.pictures_taken, 9);
    EXPECT_EQ(s.pictures_free, 11);
    EXPECT_EQ(s.resolution, 23);
    EXPECT_EQ(s.battery, 29);
}

TEST(decode_status_test, dc25_free_count_follows_the_resolution) {
    status_bytes block = indexed_block(0x25);
    block[11] = 0;
    camera_state_record s = decoded(block);
    EXPECT_EQ(s.model, 0x25);
    EXPECT_EQ(s.resolution, 0);
    EXPECT_EQ(s.pictures_free, 21);
    EXPECT_EQ(s.pictures_taken, 17 + 19);
    EXPECT_EQ(s.battery, 29);

    block[11] = 1;
    s = decoded(block);
    EXPECT_EQ(s.resolution, 1);
    EXPECT_EQ(s.pictures_free, 23);

    // Any resolution byte other than 0 takes the second place.
    block[11] = 7;
    EXPECT_EQ(decoded(block).pictures_free, 23);
}

TEST(decode_status_test, dc25_pictures_taken_is_an_eight_bit_sum) {
    status_bytes block = indexed_block(0x25);
    block[17] = 200;
    block[19] = 100;
    EXPECT_EQ(decoded(block).pictures_taken, 44);
}

TEST(decode_status_test, an_unknown_model_is_read_as_a_dc25) {
    status_bytes block = indexed_block(0x31);
    block[11] = 1;
    const camera_state_record s = decoded(block);
    EXPECT_EQ(s.model, 0x31);
    EXPECT_EQ(s.resolution, 1);
    EXPECT_EQ(s.pictures_taken, 17 + 19);
    EXPECT_EQ(s.pictures_free, 23);
    EXPECT_EQ(s.battery, 29);
}

TEST(query_status_test, a_dc20_reports_its_state) {
    sim::camera_config camera = sim::camera_with_pictures(5, true);
    camera.battery = 1;
    linked_camera link(camera);
    link.open_line();
    ASSERT_EQ(query_status(), RES_OK);
    EXPECT_EQ(camera_state.model, 0x20);
    EXPECT_EQ(camera_state.pictures_taken, 5);
    EXPECT_EQ(camera_state.pictures_free, camera.pictures_free);
    EXPECT_EQ(camera_state.resolution, 1);
    EXPECT_EQ(camera_state.battery, 1);
    const auto heard = link.commands_since(0);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(hex(heard[0].bytes), "41 00 96 00 00 00 00 1A");
    EXPECT_EQ(hex(heard[1].bytes), "7F 00 00 00 00 00 00 1A");
    // The block is accepted at once, before the completion byte.
    EXPECT_EQ(hex(link.bytes_since(2 * COMMAND_LENGTH)), "D2");
}

TEST(query_status_test, a_dc25_reports_its_state_in_either_resolution) {
    for (bool low : {false, true}) {
        sim::camera_config camera = sim::camera_with_pictures(3, low, 0x25);
        linked_camera link(camera);
        link.open_line();
        ASSERT_EQ(query_status(), RES_OK);
        EXPECT_EQ(camera_state.model, 0x25);
        EXPECT_EQ(camera_state.resolution, low ? 1 : 0);
        EXPECT_EQ(camera_state.pictures_taken, 3);
        EXPECT_EQ(camera_state.pictures_free, camera.pictures_free) << low;
        EXPECT_EQ(camera_state.battery, 0);
        close_line();
    }
}

TEST(query_status_test, a_bad_block_leaves_the_state_alone_and_is_not_accepted) {
    sim::fault_config faults;
    faults.bad_block = 1;
    faults.bad_block_attempts = 5;
    linked_camera link(sim::camera_with_pictures(4), faults);
    link.open_line();
    camera_state = camera_state_record{0x25, 1, 1, 7, 8};
    EXPECT_EQ(query_status(), RES_BAD_PACKET);
    EXPECT_EQ(camera_state.model, 0x25);
    EXPECT_EQ(camera_state.resolution, 1);
    EXPECT_EQ(camera_state.battery, 1);
    EXPECT_EQ(camera_state.pictures_taken, 7);
    EXPECT_EQ(camera_state.pictures_free, 8);
    EXPECT_EQ(hex(link.bytes_since(2 * COMMAND_LENGTH)), "E3 E3 E3 E3");
}

TEST(query_status_test, a_resent_block_is_decoded_once_good) {
    sim::fault_config faults;
    faults.bad_block = 1;
    faults.bad_block_attempts = 2;
    linked_camera link(sim::camera_with_pictures(6), faults);
    link.open_line();
    EXPECT_EQ(query_status(), RES_OK);
    EXPECT_EQ(camera_state.pictures_taken, 6);
    EXPECT_EQ(hex(link.bytes_since(2 * COMMAND_LENGTH)), "E3 E3 D2");
}

TEST(query_status_test, wrong_acknowledgements_from_a_dc20_use_up_ten_tries) {
    sim::fault_config faults;
    faults.ack_byte = 0x55;
    linked_camera link(sim::camera_with_pictures(0), faults);
    link.open_line();
    // The first exchange learns the model; a wrong byte still counts then.
    ASSERT_EQ(query_status(), RES_OK);
    const std::size_t before = link.commands_since(0).size();
    EXPECT_EQ(query_status(), RES_WRONG_DATA);
    const auto heard = link.commands_since(before);
    ASSERT_EQ(heard.size(), 10u);
    for (const auto& c : heard) EXPECT_EQ(hex(c.bytes), "41 00 96 00 00 00 00 1A");
}

}  // namespace
}  // namespace lumicord::camlink

// snap_picture against the simulated camera through a real pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>

#include "link/camera.h"
#include "sim/camera_data.h"
#include "tests/support/camera_ops.h"

namespace lumicord::camlink {
namespace {

using testing::command_bytes;
using testing::connected_camera;
using testing::hex;
using testing::joined;
using testing::STATUS_EXCHANGE;

constexpr std::uint8_t OP_SNAP = 0x77;
constexpr auto DRAIN = std::chrono::milliseconds(1500);

// A camera whose done byte comes well after the drain has ended and well
// within the first try of the wait, so that a slow test machine cannot move
// it into either.
sim::camera_config camera_with(int pictures) {
    sim::camera_config config = sim::camera_with_pictures(pictures);
    config.snap_delay_ms = 2250;
    return config;
}

TEST(snap_picture, takes_a_picture_and_refreshes_the_state) {
    connected_camera camera(camera_with(2));
    const int free_before = camera.sim().camera().pictures_free;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(snap_picture(), RES_OK);
    // The drain after the command waits out 1.5 s of silence.
    EXPECT_GE(std::chrono::steady_clock::now() - start, DRAIN);
    EXPECT_EQ(camera.sim().camera().pictures.size(), 3u);
    EXPECT_EQ(camera_state.pictures_taken, 3);
    EXPECT_EQ(camera_state.pictures_free, free_before - 1);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_SNAP), STATUS_EXCHANGE})));
}

TEST(snap_picture, full_memory_is_refused_after_the_status_exchange) {
    for (std::uint8_t model : {0x20, 0x25}) {
        sim::camera_config config = sim::camera_with_pictures(4, true, model);
        config.pictures_free = 0;
        connected_camera camera(config);
        EXPECT_EQ(snap_picture(), RES_IMPOSSIBLE);
        EXPECT_EQ(hex(camera.heard()), hex(STATUS_EXCHANGE));
        EXPECT_EQ(camera.sim().camera().pictures.size(), 4u);
    }
}

// A camera busy taking the picture may not acknowledge the command; the
// done byte is what counts.
TEST(snap_picture, unacknowledged_command_still_succeeds_when_the_done_byte_comes) {
    sim::camera_config config = sim::camera_with_pictures(1);
    // Past the 1.5 s wait for the acknowledgement and the 1.5 s drain.
    config.snap_delay_ms = 3750;
    sim::fault_config faults;
    faults.unacknowledged_opcode = OP_SNAP;
    connected_camera camera(config, faults);
    EXPECT_EQ(snap_picture(), RES_OK);
    EXPECT_EQ(camera.sim().camera().pictures.size(), 2u);
    EXPECT_EQ(camera_state.pictures_taken, 2);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_SNAP), STATUS_EXCHANGE})));
}

// Every byte other than 0x00 uses up one of the eleven tries.
TEST(snap_picture, done_byte_counts_within_eleven_tries) {
    {
        sim::fault_config faults;
        faults.busy_before_done = 10;
        connected_camera camera(camera_with(1), faults);
        EXPECT_EQ(snap_picture(), RES_OK);
        EXPECT_EQ(camera_state.pictures_taken, 2);
        EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_SNAP), STATUS_EXCHANGE})));
    }
    {
        sim::fault_config faults;
        faults.busy_before_done = 11;
        connected_camera camera(camera_with(1), faults);
        EXPECT_EQ(snap_picture(), RES_NO_RESPONSE);
        // No status exchange after a snap that never finished.
        EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_SNAP)})));
    }
}

}  // namespace
}  // namespace lumicord::camlink

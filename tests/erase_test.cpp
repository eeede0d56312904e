// erase_memory against the simulated camera through a real pseudo-terminal.
#include <gtest/gtest.h>

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

constexpr std::uint8_t OP_ERASE = 0x7A;

TEST(erase_memory, empties_the_camera_and_refreshes_the_state) {
    connected_camera camera(sim::camera_with_pictures(5));
    const int free_before = camera.sim().camera().pictures_free;
    EXPECT_EQ(erase_memory(), RES_OK);
    EXPECT_TRUE(camera.sim().camera().pictures.empty());
    EXPECT_EQ(camera_state.pictures_taken, 0);
    EXPECT_EQ(camera_state.pictures_free, free_before + 5);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_ERASE), STATUS_EXCHANGE})));
}

TEST(erase_memory, empty_camera_is_refused_after_the_status_exchange) {
    connected_camera camera(sim::camera_with_pictures(0));
    EXPECT_EQ(erase_memory(), RES_IMPOSSIBLE);
    EXPECT_EQ(hex(camera.heard()), hex(STATUS_EXCHANGE));
}

// Every byte other than 0x00 uses up one of the thirty-one tries; the wait
// starts right after the acknowledgement, with no drain before it.
TEST(erase_memory, done_byte_counts_within_thirty_one_tries) {
    {
        sim::fault_config faults;
        faults.busy_before_done = 30;
        connected_camera camera(sim::camera_with_pictures(2), faults);
        EXPECT_EQ(erase_memory(), RES_OK);
        EXPECT_EQ(camera_state.pictures_taken, 0);
        EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_ERASE), STATUS_EXCHANGE})));
    }
    {
        sim::fault_config faults;
        faults.busy_before_done = 31;
        connected_camera camera(sim::camera_with_pictures(2), faults);
        EXPECT_EQ(erase_memory(), RES_NO_RESPONSE);
        EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_ERASE)})));
    }
}

TEST(erase_memory, unacknowledged_command_returns_its_result_and_waits_no_further) {
    sim::camera_config config = sim::camera_with_pictures(2);
    config.erase_delay_ms = 5000;  // the camera stays quiet past the acknowledgement's timeout
    sim::fault_config faults;
    faults.unacknowledged_opcode = OP_ERASE;
    connected_camera camera(config, faults);
    EXPECT_EQ(erase_memory(), RES_NOT_FOUND);  // silence from a DC20
    // Had it waited for the done byte, the status exchange would follow it.
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_ERASE)})));
}

}  // namespace
}  // namespace lumicord::camlink

// switch_resolution against the simulated camera through a real pseudo-terminal.
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

constexpr std::uint8_t OP_RESOLUTION = 0x71;
const auto RES_LOW_COMMAND = command_bytes(OP_RESOLUTION, 1, 0);
const auto RES_HIGH_COMMAND = command_bytes(OP_RESOLUTION, 0, 0);

TEST(switch_resolution, empty_dc20_toggles_between_high_and_low) {
    connected_camera camera(sim::camera_with_pictures(0));
    ASSERT_EQ(camera.sim().camera().resolution, 0);
    EXPECT_EQ(switch_resolution(), RES_OK);
    EXPECT_EQ(camera.sim().camera().resolution, 1);
    EXPECT_EQ(camera_state.resolution, 1);
    EXPECT_EQ(switch_resolution(), RES_OK);
    EXPECT_EQ(camera.sim().camera().resolution, 0);
    EXPECT_EQ(camera_state.resolution, 0);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, RES_LOW_COMMAND, STATUS_EXCHANGE,  //
                                               STATUS_EXCHANGE, RES_HIGH_COMMAND, STATUS_EXCHANGE})));
}

// Pictures taken after the switch have the new resolution.
TEST(switch_resolution, later_snaps_take_the_new_resolution) {
    sim::camera_config config = sim::camera_with_pictures(0);
    config.snap_delay_ms = 2250;  // well clear of the 1.5 s drain
    connected_camera camera(config);
    EXPECT_EQ(switch_resolution(), RES_OK);
    EXPECT_EQ(snap_picture(), RES_OK);
    const auto pictures = camera.sim().camera().pictures;
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_TRUE(pictures[0].low_res);
}

TEST(switch_resolution, dc25_is_refused_after_the_status_exchange_even_when_empty) {
    for (int pictures : {0, 3}) {
        connected_camera camera(sim::camera_with_pictures(pictures, false, 0x25));
        EXPECT_EQ(switch_resolution(), RES_NOT_ON_DC25) << pictures;
        EXPECT_EQ(hex(camera.heard()), hex(STATUS_EXCHANGE)) << pictures;
        EXPECT_EQ(camera.sim().camera().resolution, 0);
    }
}

TEST(switch_resolution, dc20_with_pictures_is_refused_after_the_status_exchange) {
    connected_camera camera(sim::camera_with_pictures(1, true));
    EXPECT_EQ(switch_resolution(), RES_IMPOSSIBLE);
    EXPECT_EQ(hex(camera.heard()), hex(STATUS_EXCHANGE));
    EXPECT_EQ(camera.sim().camera().resolution, 1);
}

TEST(switch_resolution, unknown_model_byte_proceeds) {
    sim::camera_config config = sim::camera_with_pictures(0, true, 0x30);
    connected_camera camera(config);
    EXPECT_EQ(switch_resolution(), RES_OK);
    EXPECT_EQ(camera_state.model, 0x30);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, RES_HIGH_COMMAND, STATUS_EXCHANGE})));
    EXPECT_EQ(camera.sim().camera().resolution, 0);
}

TEST(switch_resolution, unanswered_command_returns_its_result_with_nothing_more_sent) {
    sim::fault_config faults;
    faults.silent_from_command = 6;  // 3 to connect, INIT and STATUS, then the switch
    connected_camera camera(sim::camera_with_pictures(0), faults);
    EXPECT_EQ(switch_resolution(), RES_NOT_FOUND);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, RES_LOW_COMMAND})));
}

}  // namespace
}  // namespace lumicord::camlink

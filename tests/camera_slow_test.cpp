// A camera operation against a camera that falls silent part way: each
// attempt at the block waits out the line's 1.5 s timeout.
#include <gtest/gtest.h>

#include <chrono>

#include "link/camera.h"
#include "sim/camera_data.h"
#include "tests/support/camera_ops.h"

namespace lumicord::camlink {
namespace {

using testing::command_bytes;
using testing::connected_camera;
using testing::first_blocks;
using testing::hex;
using testing::joined;
using testing::OK_BYTE;
using testing::repeated;
using testing::RESEND_BYTE;
using testing::STATUS_EXCHANGE;
using testing::temp_stream;

constexpr std::uint8_t OP_GET_PICTURE = 0x51;
constexpr auto LINE_TIMEOUT = std::chrono::milliseconds(1500);

using clock = std::chrono::steady_clock;

// The camera stops part way through a block and says nothing more: each of
// the five attempts ends after 1.5 s of silence.
TEST(fetch_picture, camera_falling_silent_part_way_gives_bad_packet) {
    sim::fault_config faults;
    faults.fault_opcode = OP_GET_PICTURE;
    faults.cut_block = 62;
    faults.cut_after = 500;
    faults.silent_after_cut = true;
    connected_camera camera(sim::camera_with_pictures(1), faults);
    temp_stream stream;
    const auto start = clock::now();
    EXPECT_EQ(fetch_picture(1, stream.get()), RES_BAD_PACKET);
    EXPECT_GE(clock::now() - start, 5 * LINE_TIMEOUT);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_GET_PICTURE, 0, 1),
                                               repeated(OK_BYTE, 61), repeated(RESEND_BYTE, 4)})));
    EXPECT_TRUE(stream.contents() == first_blocks(sim::picture_data(camera.sim().camera().pictures[0]), 61));
}

}  // namespace
}  // namespace lumicord::camlink

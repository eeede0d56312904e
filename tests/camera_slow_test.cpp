// The camera operations against a camera that falls silent or never
// finishes: these wait out the line's 1.5 s timeout many times.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "link/camera.h"
#include "sim/camera_data.h"
#include "tests/support/camera_ops.h"
#include "tests/support/camera_ops_table.h"

namespace lumicord::camlink {
namespace {

using testing::camera_operation;
using testing::CAMERA_OPERATIONS;
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

constexpr std::uint8_t OP_INIT = 0x41;
constexpr std::uint8_t OP_SNAP = 0x77;
constexpr std::uint8_t OP_ERASE = 0x7A;
constexpr std::uint8_t OP_GET_PICTURE = 0x51;
constexpr std::uint8_t OP_THUMBNAIL = 0x56;
constexpr auto LINE_TIMEOUT = std::chrono::milliseconds(1500);

using clock = std::chrono::steady_clock;

class every_operation : public ::testing::TestWithParam<camera_operation> {};

// The status exchange opening the operation tries CMD_INIT ten times and
// hands its result on; nothing else is sent.
TEST_P(every_operation, silent_camera_gives_the_status_result) {
    sim::fault_config faults;
    faults.silent_from_command = 6;  // 3 to connect, 2 for the status below
    connected_camera camera(sim::camera_with_pictures(3), faults);
    ASSERT_EQ(query_status(), RES_OK);  // now known as a DC20, whose silence is RES_NOT_FOUND
    const std::size_t from = camera.link->byte_count();
    const auto start = clock::now();
    EXPECT_EQ(GetParam().run(), RES_NOT_FOUND);
    EXPECT_GE(clock::now() - start, 10 * LINE_TIMEOUT);
    std::vector<std::uint8_t> expected;
    for (int i = 0; i < 10; ++i) expected = joined({expected, command_bytes(OP_INIT, 0x96)});
    EXPECT_EQ(hex(camera.link->bytes_since(from)), hex(expected));
}

INSTANTIATE_TEST_SUITE_P(camera, every_operation, ::testing::ValuesIn(CAMERA_OPERATIONS),
                         [](const auto& info) { return testing::operation_name(info.param); });

// The done byte comes while the line is being drained and is swallowed;
// eleven tries then go by in silence.
TEST(snap_picture, done_byte_swallowed_by_the_drain_gives_no_response) {
    sim::fault_config faults;
    faults.snap_done = sim::done_fault::early;
    connected_camera camera(sim::camera_with_pictures(1), faults);
    const auto start = clock::now();
    EXPECT_EQ(snap_picture(), RES_NO_RESPONSE);
    EXPECT_GE(clock::now() - start, LINE_TIMEOUT + 11 * LINE_TIMEOUT);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_SNAP)})));
    // The camera did take the picture.
    EXPECT_EQ(camera.sim().camera().pictures.size(), 2u);
}

TEST(erase_memory, camera_that_never_finishes_gives_no_response_after_thirty_one_tries) {
    sim::fault_config faults;
    faults.erase_done = sim::done_fault::never;
    connected_camera camera(sim::camera_with_pictures(2), faults);
    const auto start = clock::now();
    EXPECT_EQ(erase_memory(), RES_NO_RESPONSE);
    EXPECT_GE(clock::now() - start, 31 * LINE_TIMEOUT);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_ERASE)})));
}

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

TEST(fetch_thumbnails, camera_falling_silent_part_way_gives_bad_packet) {
    sim::fault_config faults;
    faults.fault_opcode = OP_THUMBNAIL;
    faults.cut_block = 7;  // block 1 of the second thumbnail
    faults.cut_after = 1000;
    faults.silent_after_cut = true;
    connected_camera camera(sim::camera_with_pictures(3), faults);
    temp_stream stream;
    EXPECT_EQ(fetch_thumbnails(stream.get()), RES_BAD_PACKET);
    EXPECT_EQ(hex(camera.heard()),
              hex(joined({STATUS_EXCHANGE, command_bytes(OP_THUMBNAIL, 0, 1), repeated(OK_BYTE, 5),
                          command_bytes(OP_THUMBNAIL, 0, 2), repeated(OK_BYTE, 1), repeated(RESEND_BYTE, 4)})));
    const auto pictures = camera.sim().camera().pictures;
    const auto first = sim::thumbnail_data(pictures[0]);
    const auto second = sim::thumbnail_data(pictures[1]);
    EXPECT_TRUE(stream.contents() == joined({first, first_blocks(second, 1)}));
}

}  // namespace
}  // namespace lumicord::camlink

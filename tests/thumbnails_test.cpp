// fetch_thumbnails against the simulated camera through a real pseudo-terminal.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "link/camera.h"
#include "link/command.h"
#include "sim/camera_data.h"
#include "tests/support/camera_ops.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::camlink {
namespace {

using testing::command_bytes;
using testing::connected_camera;
using testing::first_blocks;
using testing::full_disk_stream;
using testing::hex;
using testing::joined;
using testing::OK_BYTE;
using testing::repeated;
using testing::RESEND_BYTE;
using testing::STATUS_EXCHANGE;
using testing::temp_stream;

constexpr std::uint8_t OP_THUMBNAIL = 0x56;

// The operation's result and its progress dots, which must reach the
// terminal at once rather than wait in a buffer.
struct fetched {
    int result;
    std::string dots;
};

fetched fetch(std::FILE* stream) {
    const testing::printed p = testing::run_printing([&] { return fetch_thumbnails(stream); });
    EXPECT_EQ(p.held, "") << "progress left unflushed";
    return {p.result, p.shown};
}

// The thumbnails of pictures 1..count, in order.
std::vector<std::uint8_t> thumbnails(connected_camera& camera, std::size_t count) {
    std::vector<std::uint8_t> all;
    const auto pictures = camera.sim().camera().pictures;
    for (std::size_t i = 0; i < count; ++i) {
        const auto t = sim::thumbnail_data(pictures.at(i));
        all.insert(all.end(), t.begin(), t.end());
    }
    return all;
}

// Thumbnails are not limited to the 32 pictures the information table holds.
TEST(fetch_thumbnails, every_picture_gives_five_blocks_and_three_dots_even_beyond_thirty_two) {
    connected_camera camera(sim::camera_with_pictures(40));
    temp_stream stream;
    const fetched f = fetch(stream.get());
    EXPECT_EQ(f.result, RES_OK);
    EXPECT_TRUE(stream.contents() == thumbnails(camera, 40));
    EXPECT_EQ(f.dots, std::string(120, '.'));
    std::vector<std::uint8_t> expected = STATUS_EXCHANGE;
    for (std::uint8_t p = 1; p <= 40; ++p)
        expected = joined({expected, command_bytes(OP_THUMBNAIL, 0, p), repeated(OK_BYTE, 5)});
    EXPECT_EQ(hex(camera.heard()), hex(expected));
    const counted_command& c = command_table[CMD_THUMBNAIL];
    EXPECT_EQ(hex({c.begin() + 1, c.end()}), "56 00 00 28 00 00 00 1A");
}

TEST(fetch_thumbnails, dc25_is_refused_after_the_status_exchange_with_or_without_pictures) {
    for (int pictures : {0, 2}) {
        connected_camera camera(sim::camera_with_pictures(pictures, false, 0x25));
        temp_stream stream;
        const fetched f = fetch(stream.get());
        EXPECT_EQ(f.result, RES_NOT_ON_DC25) << pictures;
        EXPECT_EQ(hex(camera.heard()), hex(STATUS_EXCHANGE)) << pictures;
        EXPECT_TRUE(stream.contents().empty());
        EXPECT_EQ(f.dots, "");
    }
}

TEST(fetch_thumbnails, empty_dc20_is_refused_after_the_status_exchange) {
    connected_camera camera(sim::camera_with_pictures(0));
    temp_stream stream;
    const fetched f = fetch(stream.get());
    EXPECT_EQ(f.result, RES_IMPOSSIBLE);
    EXPECT_EQ(hex(camera.heard()), hex(STATUS_EXCHANGE));
    EXPECT_TRUE(stream.contents().empty());
}

TEST(fetch_thumbnails, unknown_model_byte_proceeds) {
    connected_camera camera(sim::camera_with_pictures(2, false, 0x30));
    temp_stream stream;
    const fetched f = fetch(stream.get());
    EXPECT_EQ(camera_state.model, 0x30);
    EXPECT_EQ(f.result, RES_OK);
    EXPECT_TRUE(stream.contents() == thumbnails(camera, 2));
}

TEST(fetch_thumbnails, bad_block_in_the_middle_is_asked_for_again) {
    sim::fault_config faults;
    faults.fault_opcode = OP_THUMBNAIL;
    faults.bad_block = 8;  // block 2 of the second thumbnail
    faults.bad_block_attempts = 4;
    connected_camera camera(sim::camera_with_pictures(2), faults);
    temp_stream stream;
    EXPECT_EQ(fetch(stream.get()).result, RES_OK);
    EXPECT_TRUE(stream.contents() == thumbnails(camera, 2));
    EXPECT_EQ(hex(camera.heard()),
              hex(joined({STATUS_EXCHANGE, command_bytes(OP_THUMBNAIL, 0, 1), repeated(OK_BYTE, 5),
                          command_bytes(OP_THUMBNAIL, 0, 2), repeated(OK_BYTE, 2), repeated(RESEND_BYTE, 4),
                          repeated(OK_BYTE, 3)})));
}

TEST(fetch_thumbnails, five_bad_attempts_end_the_run_with_nothing_more_sent) {
    sim::fault_config faults;
    faults.fault_opcode = OP_THUMBNAIL;
    faults.bad_block = 8;
    faults.bad_block_attempts = 5;
    connected_camera camera(sim::camera_with_pictures(3), faults);
    temp_stream stream;
    const fetched f = fetch(stream.get());
    EXPECT_EQ(f.result, RES_BAD_PACKET);
    EXPECT_EQ(hex(camera.heard()),
              hex(joined({STATUS_EXCHANGE, command_bytes(OP_THUMBNAIL, 0, 1), repeated(OK_BYTE, 5),
                          command_bytes(OP_THUMBNAIL, 0, 2), repeated(OK_BYTE, 2), repeated(RESEND_BYTE, 4)})));
    // Thumbnail 1 and the first two blocks of thumbnail 2 stay in the stream.
    EXPECT_TRUE(stream.contents() == first_blocks(thumbnails(camera, 2), 7));
    EXPECT_EQ(f.dots, "....");
}

TEST(fetch_thumbnails, short_write_stops_before_the_block_is_acknowledged) {
    connected_camera camera(sim::camera_with_pictures(2));
    std::FILE* full = full_disk_stream();
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    const fetched f = fetch(full);
    std::fclose(full);
    EXPECT_EQ(f.result, RES_SAVE_ERROR);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_THUMBNAIL, 0, 1)})));
    EXPECT_EQ(f.dots, "");
}

// Only the last thumbnail's completion byte decides the result.
TEST(fetch_thumbnails, completion_of_the_last_thumbnail_decides) {
    for (int missing : {1, 2}) {
        sim::fault_config faults;
        faults.fault_opcode = OP_THUMBNAIL;
        faults.missing_completion = missing;
        connected_camera camera(sim::camera_with_pictures(2), faults);
        temp_stream stream;
        EXPECT_EQ(fetch(stream.get()).result, missing == 2 ? RES_NO_DATA : RES_OK) << missing;
        EXPECT_TRUE(stream.contents() == thumbnails(camera, 2)) << missing;
    }
}

TEST(fetch_thumbnails, unanswered_request_returns_the_command_result) {
    sim::fault_config faults;
    faults.silent_from_command = 7;  // 3 to connect, INIT, STATUS, thumbnail 1, then thumbnail 2
    connected_camera camera(sim::camera_with_pictures(3), faults);
    temp_stream stream;
    EXPECT_EQ(fetch(stream.get()).result, RES_NOT_FOUND);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_THUMBNAIL, 0, 1), repeated(OK_BYTE, 5),
                                               command_bytes(OP_THUMBNAIL, 0, 2)})));
    EXPECT_TRUE(stream.contents() == thumbnails(camera, 1));
}

}  // namespace
}  // namespace lumicord::camlink

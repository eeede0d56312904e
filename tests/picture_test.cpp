// fetch_picture against the simulated camera through a real pseudo-terminal.
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
using testing::count_of;
using testing::first_blocks;
using testing::full_disk_stream;
using testing::hex;
using testing::joined;
using testing::OK_BYTE;
using testing::repeated;
using testing::RESEND_BYTE;
using testing::STATUS_EXCHANGE;
using testing::temp_stream;

constexpr std::uint8_t OP_GET_PICTURE = 0x51;

// The operation's result and its progress dots, which must reach the
// terminal at once rather than wait in a buffer.
struct fetched {
    int result;
    std::string dots;
};

fetched fetch(int number, std::FILE* stream) {
    const testing::printed p = testing::run_printing([&] { return fetch_picture(number, stream); });
    EXPECT_EQ(p.held, "") << "progress left unflushed";
    return {p.result, p.shown};
}

std::vector<std::uint8_t> stored(connected_camera& camera, int number) {
    return sim::picture_data(camera.sim().camera().pictures.at(static_cast<std::size_t>(number - 1)));
}

// The block count comes from the picture's own first block, not from the
// resolution the camera is set to now; every second block earns a dot and
// every block is acknowledged once, none asked for again.
TEST(fetch_picture, a_picture_arrives_whole_in_the_block_count_of_its_own_resolution) {
    const struct {
        bool camera_low, picture_low;
        int pictures, number;
        std::size_t blocks, dots;
    } cases[] = {
        {false, false, 2, 2, 122, 60},
        {true, true, 3, 1, 61, 30},
        {false, true, 2, 1, 61, 30},
        {true, false, 1, 1, 122, 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("camera ") + (c.camera_low ? "low" : "high") + ", picture " +
                     (c.picture_low ? "low" : "high"));
        sim::camera_config config = sim::camera_with_pictures(c.pictures, c.camera_low);
        config.pictures[static_cast<std::size_t>(c.number - 1)].low_res = c.picture_low;
        connected_camera camera(config);
        temp_stream stream;
        const fetched f = fetch(c.number, stream.get());
        EXPECT_EQ(f.result, RES_OK);
        EXPECT_TRUE(stream.contents() == stored(camera, c.number));
        EXPECT_EQ(f.dots, std::string(c.dots, '.'));
        EXPECT_EQ(hex(camera.heard()),
                  hex(joined({STATUS_EXCHANGE, command_bytes(OP_GET_PICTURE, 0, static_cast<std::uint8_t>(c.number)),
                              repeated(OK_BYTE, c.blocks)})));
    }
}

TEST(fetch_picture, a_number_outside_the_pictures_taken_is_refused_after_the_status_exchange) {
    connected_camera camera(sim::camera_with_pictures(2));
    temp_stream stream;
    for (int number : {3, 0, -1}) {
        const fetched f = fetch(number, stream.get());
        EXPECT_EQ(f.result, RES_IMPOSSIBLE) << number;
        EXPECT_EQ(f.dots, "") << number;
    }
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, STATUS_EXCHANGE, STATUS_EXCHANGE})));
    EXPECT_TRUE(stream.contents().empty());
}

TEST(fetch_picture, third_of_three_is_requested_and_the_number_stays_patched) {
    connected_camera camera(sim::camera_with_pictures(3));
    temp_stream stream;
    EXPECT_EQ(fetch(3, stream.get()).result, RES_OK);
    const auto commands = camera.commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(hex(commands[2].bytes), "51 00 00 03 00 00 00 1A");
    const counted_command& c = command_table[CMD_GET_PICTURE];
    EXPECT_EQ(hex({c.begin() + 1, c.end()}), "51 00 00 03 00 00 00 1A");
    EXPECT_TRUE(stream.contents() == stored(camera, 3));
}

TEST(fetch_picture, bad_block_in_the_middle_is_asked_for_again) {
    sim::fault_config faults;
    faults.fault_opcode = OP_GET_PICTURE;
    faults.bad_block = 62;
    faults.bad_block_attempts = 2;
    connected_camera camera(sim::camera_with_pictures(1), faults);
    temp_stream stream;
    const fetched f = fetch(1, stream.get());
    EXPECT_EQ(f.result, RES_OK);
    EXPECT_TRUE(stream.contents() == stored(camera, 1));
    EXPECT_EQ(f.dots, std::string(60, '.'));
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_GET_PICTURE, 0, 1),
                                               repeated(OK_BYTE, 61), repeated(RESEND_BYTE, 2),
                                               repeated(OK_BYTE, 61)})));
}

TEST(fetch_picture, five_bad_attempts_end_the_transfer_with_nothing_more_sent) {
    sim::fault_config faults;
    faults.fault_opcode = OP_GET_PICTURE;
    faults.bad_block = 62;  // block index 61
    faults.bad_block_attempts = 5;
    connected_camera camera(sim::camera_with_pictures(1), faults);
    temp_stream stream;
    const fetched f = fetch(1, stream.get());
    EXPECT_EQ(f.result, RES_BAD_PACKET);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_GET_PICTURE, 0, 1),
                                               repeated(OK_BYTE, 61), repeated(RESEND_BYTE, 4)})));
    // The stream keeps the blocks before the failure; the even indexes 2..60
    // among them got their dots.
    EXPECT_TRUE(stream.contents() == first_blocks(stored(camera, 1), 61));
    EXPECT_EQ(f.dots, std::string(30, '.'));
}

TEST(fetch_picture, short_write_stops_before_the_block_is_acknowledged) {
    connected_camera camera(sim::camera_with_pictures(1));
    std::FILE* full = full_disk_stream();
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    const fetched f = fetch(1, full);
    std::fclose(full);
    EXPECT_EQ(f.result, RES_SAVE_ERROR);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_GET_PICTURE, 0, 1)})));
    EXPECT_EQ(f.dots, "");
}

// A buffered stream on a full disk accepts the first blocks and fails when
// its buffer is written out; the blocks it accepted are acknowledged and
// dotted, the one it refused is not, and nothing follows.
std::FILE* buffered_full_disk(char* buffer, std::size_t size) {
    std::FILE* full = full_disk_stream();
    if (full != nullptr) std::setvbuf(full, buffer, _IOFBF, size);
    return full;
}

TEST(fetch_picture, short_write_shows_when_the_stream_does) {
    static char buffer[1500];
    // How many whole blocks such a stream takes before a write falls short.
    std::size_t accepted = 0;
    {
        std::FILE* probe = buffered_full_disk(buffer, sizeof buffer);
        ASSERT_NE(probe, nullptr);
        const std::vector<char> block(sim::PICTURE_BLOCK, 'x');
        while (accepted < 122 && std::fwrite(block.data(), 1, block.size(), probe) == block.size()) ++accepted;
        std::fclose(probe);
    }
    ASSERT_GE(accepted, 1u);
    ASSERT_LT(accepted, 122u);

    connected_camera camera(sim::camera_with_pictures(1));
    std::FILE* full = buffered_full_disk(buffer, sizeof buffer);
    ASSERT_NE(full, nullptr);
    const fetched f = fetch(1, full);
    std::fclose(full);
    EXPECT_EQ(f.result, RES_SAVE_ERROR);
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_GET_PICTURE, 0, 1),
                                               repeated(OK_BYTE, accepted)})));
    // Blocks 1 .. accepted-1 were written; the even ones among them dotted.
    EXPECT_EQ(f.dots, std::string((accepted - 1) / 2, '.'));
}

TEST(fetch_picture, unanswered_request_returns_the_command_result) {
    sim::fault_config faults;
    faults.silent_from_command = 6;  // 3 to connect, INIT and STATUS, then CMD_GET_PICTURE
    connected_camera camera(sim::camera_with_pictures(2), faults);
    temp_stream stream;
    const fetched f = fetch(2, stream.get());
    EXPECT_EQ(f.result, RES_NOT_FOUND);  // a DC20 that stays silent
    EXPECT_EQ(hex(camera.heard()), hex(joined({STATUS_EXCHANGE, command_bytes(OP_GET_PICTURE, 0, 2)})));
    EXPECT_TRUE(stream.contents().empty());
}

TEST(fetch_picture, missing_completion_byte_gives_no_data_with_the_picture_written) {
    sim::fault_config faults;
    faults.fault_opcode = OP_GET_PICTURE;
    faults.missing_completion = 1;
    connected_camera camera(sim::camera_with_pictures(1, true), faults);
    temp_stream stream;
    const fetched f = fetch(1, stream.get());
    EXPECT_EQ(f.result, RES_NO_DATA);
    EXPECT_TRUE(stream.contents() == stored(camera, 1));
    EXPECT_EQ(count_of(camera.heard(), OK_BYTE), 1u + 61u);
}

}  // namespace
}  // namespace lumicord::camlink

// fetch_picture_info against the simulated camera through a real pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/camera.h"
#include "link/command.h"
#include "sim/camera_data.h"
#include "tests/support/camera_ops.h"

namespace lumicord::camlink {
namespace {

using testing::command_bytes;
using testing::connected_camera;
using testing::hex;
using testing::joined;
using testing::OK_BYTE;
using testing::repeated;
using testing::RESEND_BYTE;
using testing::STATUS_EXCHANGE;

constexpr std::uint8_t OP_PICTURE_INFO = 0x55;

// A record no camera picture produces here, to see what was left alone.
constexpr picture_info UNTOUCHED{0xA5, 0x5A, 0x77};

picture_info_array untouched_table() {
    picture_info_array table;
    for (picture_info& r : table.records) r = UNTOUCHED;
    return table;
}

bool same(const picture_info& a, const picture_info& b) {
    return a.aperture == b.aperture && a.exposure == b.exposure && a.low_res == b.low_res;
}

// What the table must hold for a picture: bytes 16, 35 and 4 of its
// information block as the camera sends it.
picture_info expected_record(const sim::stored_picture& picture) {
    const auto block = sim::picture_info_block(picture);
    return {block[16], block[35], block[4]};
}

// Pictures with varied resolution, aperture and exposure.
sim::camera_config varied_camera(int count) {
    sim::camera_config camera = sim::camera_with_pictures(count);
    for (std::size_t i = 0; i < camera.pictures.size(); i += 3) camera.pictures[i].low_res = true;
    return camera;
}

TEST(fetch_picture_info, forty_pictures_query_one_to_thirty_two) {
    connected_camera camera(varied_camera(40));
    picture_info_array table = untouched_table();
    EXPECT_EQ(fetch_picture_info(table), RES_OK);
    const auto commands = camera.commands();
    ASSERT_EQ(commands.size(), 2u + 32u);
    for (std::size_t p = 1; p <= 32; ++p)
        EXPECT_EQ(hex(commands[1 + p].bytes), hex(command_bytes(OP_PICTURE_INFO, 0, static_cast<std::uint8_t>(p))));
    const auto pictures = camera.sim().camera().pictures;
    for (std::size_t p = 1; p <= 32; ++p)
        EXPECT_TRUE(same(table.records[p], expected_record(pictures[p - 1]))) << "picture " << p;
    EXPECT_TRUE(same(table.records[0], UNTOUCHED));
    // Each block acknowledged once, none asked for again.
    std::vector<std::uint8_t> expected = STATUS_EXCHANGE;
    for (std::uint8_t p = 1; p <= 32; ++p) expected = joined({expected, command_bytes(OP_PICTURE_INFO, 0, p), {OK_BYTE}});
    EXPECT_EQ(hex(camera.heard()), hex(expected));
}

TEST(fetch_picture_info, records_hold_resolution_aperture_and_exposure) {
    sim::camera_config config = sim::camera_with_pictures(3);
    config.pictures[0] = {true, 9, 66, 11};
    config.pictures[1] = {false, 3, 17, 12};
    config.pictures[2] = {true, 0, 255, 13};
    connected_camera camera(config);
    picture_info_array table = untouched_table();
    EXPECT_EQ(fetch_picture_info(table), RES_OK);
    EXPECT_NE(table.records[1].low_res, 0);
    EXPECT_EQ(table.records[1].aperture, 9);
    EXPECT_EQ(table.records[1].exposure, 66);
    EXPECT_EQ(table.records[2].low_res, 0);
    EXPECT_EQ(table.records[2].aperture, 3);
    EXPECT_EQ(table.records[2].exposure, 17);
    EXPECT_NE(table.records[3].low_res, 0);
    EXPECT_EQ(table.records[3].aperture, 0);
    EXPECT_EQ(table.records[3].exposure, 255);
}

TEST(fetch_picture_info, five_pictures_leave_the_fifth_number_patched) {
    connected_camera camera(varied_camera(5));
    picture_info_array table = untouched_table();
    EXPECT_EQ(fetch_picture_info(table), RES_OK);
    const counted_command& c = command_table[CMD_PICTURE_INFO];
    EXPECT_EQ(c[0], 8);
    EXPECT_EQ(hex({c.begin() + 1, c.end()}), "55 00 00 05 00 00 00 1A");
    for (std::size_t p = 6; p <= 32; ++p) EXPECT_TRUE(same(table.records[p], UNTOUCHED));
}

TEST(fetch_picture_info, no_pictures_leave_the_table_alone_and_ask_nothing) {
    connected_camera camera(sim::camera_with_pictures(0));
    picture_info_array table = untouched_table();
    EXPECT_EQ(fetch_picture_info(table), RES_OK);
    EXPECT_EQ(hex(camera.heard()), hex(STATUS_EXCHANGE));
    for (const picture_info& r : table.records) EXPECT_TRUE(same(r, UNTOUCHED));
    const counted_command& c = command_table[CMD_PICTURE_INFO];
    EXPECT_EQ(hex({c.begin() + 1, c.end()}), "55 00 00 01 00 00 00 1A");
}

TEST(fetch_picture_info, bad_block_at_a_picture_keeps_the_records_before_it) {
    sim::fault_config faults;
    faults.fault_opcode = OP_PICTURE_INFO;
    faults.bad_block = 3;
    faults.bad_block_attempts = 5;
    connected_camera camera(varied_camera(5), faults);
    picture_info_array table = untouched_table();
    EXPECT_EQ(fetch_picture_info(table), RES_BAD_PACKET);
    const auto pictures = camera.sim().camera().pictures;
    EXPECT_TRUE(same(table.records[1], expected_record(pictures[0])));
    EXPECT_TRUE(same(table.records[2], expected_record(pictures[1])));
    for (std::size_t p = 3; p <= 32; ++p) EXPECT_TRUE(same(table.records[p], UNTOUCHED)) << "picture " << p;
    EXPECT_EQ(hex(camera.heard()),
              hex(joined({STATUS_EXCHANGE, command_bytes(OP_PICTURE_INFO, 0, 1), {OK_BYTE},
                          command_bytes(OP_PICTURE_INFO, 0, 2), {OK_BYTE}, command_bytes(OP_PICTURE_INFO, 0, 3),
                          repeated(RESEND_BYTE, 4)})));
}

TEST(fetch_picture_info, unanswered_request_keeps_the_records_before_it) {
    sim::fault_config faults;
    faults.silent_from_command = 8;  // 3 to connect, INIT, STATUS, pictures 1 and 2, then 3
    connected_camera camera(varied_camera(5), faults);
    picture_info_array table = untouched_table();
    EXPECT_EQ(fetch_picture_info(table), RES_NOT_FOUND);
    const auto pictures = camera.sim().camera().pictures;
    EXPECT_TRUE(same(table.records[1], expected_record(pictures[0])));
    EXPECT_TRUE(same(table.records[2], expected_record(pictures[1])));
    for (std::size_t p = 3; p <= 32; ++p) EXPECT_TRUE(same(table.records[p], UNTOUCHED)) << "picture " << p;
}

// Only the last picture's completion byte decides the result; the records
// are stored either way.
TEST(fetch_picture_info, completion_of_the_last_picture_decides) {
    for (int missing : {1, 3}) {
        sim::fault_config faults;
        faults.fault_opcode = OP_PICTURE_INFO;
        faults.missing_completion = missing;
        connected_camera camera(varied_camera(3), faults);
        picture_info_array table = untouched_table();
        EXPECT_EQ(fetch_picture_info(table), missing == 3 ? RES_NO_DATA : RES_OK) << missing;
        const auto pictures = camera.sim().camera().pictures;
        for (std::size_t p = 1; p <= 3; ++p) EXPECT_TRUE(same(table.records[p], expected_record(pictures[p - 1])));
    }
}

}  // namespace
}  // namespace lumicord::camlink

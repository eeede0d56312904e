// The simulator's paced mode: bytes take their real time on the line in both
// directions, and the camera's answers are recorded at the speed they went
// out at.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <chrono>
#include <numeric>
#include <vector>

#include "link/block.h"
#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"
#include "sim/camera_sim.h"
#include "tests/support/linked_camera.h"

namespace lumicord::sim {
namespace {

using clock = std::chrono::steady_clock;
using std::chrono::microseconds;

constexpr int LATENCY_US = 3000;

microseconds byte_time(long baud) { return microseconds(11'000'000 / baud); }

class paced_camera_test : public ::testing::Test {
protected:
    void SetUp() override { testing::reset_link_records(); }
    void TearDown() override { camlink::close_line(); }

    void write_command(camlink::command_id id) {
        const camlink::counted_command& c = camlink::command_table[static_cast<unsigned>(id)];
        for (int i = 1; i <= c[0]; ++i) camlink::send_byte(c[static_cast<unsigned>(i)]);
    }

    camera_sim camera_{camera_with_pictures(2), {}, {true, LATENCY_US}};
};

// Without the host's own line time the acknowledgement would come after one
// byte-time and the latency; a real camera hears the whole command first.
TEST_F(paced_camera_test, answers_no_sooner_than_the_line_allows_both_ways) {
    camlink::open_line(camera_.device_path().c_str(), 9600);
    const microseconds bt = byte_time(9600);
    const microseconds latency(LATENCY_US);

    const clock::time_point start = clock::now();
    write_command(camlink::CMD_STATUS);
    std::uint8_t ack = 0;
    ASSERT_EQ(camlink::read_line(&ack, 1), 1);
    const clock::time_point acknowledged = clock::now();
    EXPECT_EQ(ack, camlink::CAMERA_ACK);
    // Eight command bytes to the camera, one back.
    EXPECT_GE(acknowledged - start, 9 * bt + latency);

    ASSERT_EQ(camlink::receive_block(camlink::SMALL_BLOCK), camlink::RES_OK);
    const clock::time_point block_in = clock::now();
    // The block follows the acknowledgement on the wire without a gap.
    EXPECT_GE(block_in - start, (9 + 257) * bt + latency);

    const clock::time_point block_ok = clock::now();
    camlink::send_byte(camlink::BLOCK_OK);
    ASSERT_EQ(camlink::await_completion(), camlink::RES_OK);
    // The acknowledgement byte out, the completion byte back, and the
    // camera thinks about it first.
    EXPECT_GE(clock::now() - block_ok, 2 * bt + latency);
}

std::size_t total_bytes(const std::vector<sent_run>& runs) {
    return std::accumulate(runs.begin(), runs.end(), std::size_t{0},
                           [](std::size_t sum, const sent_run& run) { return sum + run.bytes; });
}

// The camera decides its answer as soon as it has heard the command and
// then spends over a second putting a picture block on the wire at 9600
// baud; whoever asks the simulator something meanwhile gets the answer
// without waiting for the block.
TEST_F(paced_camera_test, settles_while_its_answer_is_still_on_the_line) {
    camlink::open_line(camera_.device_path().c_str(), 9600);
    write_command(camlink::CMD_GET_PICTURE);
    camera_.settle();
    EXPECT_EQ(camera_.commands().size(), 1u);
    const std::size_t answer = 1 + camlink::LARGE_BLOCK + 1;
    EXPECT_EQ(total_bytes(camera_.sent()), answer);
    int arrived = 0;
    ASSERT_EQ(::ioctl(camlink::line_state.fd, FIONREAD, &arrived), 0);
    EXPECT_LT(static_cast<std::size_t>(arrived), answer) << "settling waited for the block to be sent";

    // All of it arrives all the same.
    std::uint8_t ack = 0;
    ASSERT_EQ(camlink::read_line(&ack, 1), 1);
    EXPECT_EQ(ack, camlink::CAMERA_ACK);
    EXPECT_EQ(camlink::receive_block(camlink::LARGE_BLOCK), camlink::RES_OK);
}

TEST_F(paced_camera_test, records_what_it_sent_at_each_speed) {
    ASSERT_EQ(camlink::camera_connect(camera_.device_path().c_str(), 38400), camlink::RES_OK);
    ASSERT_EQ(camlink::query_status(), camlink::RES_OK);
    const std::vector<sent_run> sent = camera_.sent();
    ASSERT_EQ(sent.size(), 2u);
    // The acknowledgements of the first two CMD_INITs leave at 9600; the
    // camera changes speed after acknowledging the second.
    EXPECT_EQ(sent[0].line_speed, 9600);
    EXPECT_EQ(sent[0].bytes, 2u);
    // Then the third CMD_INIT's acknowledgement and the status exchange:
    // two acknowledgements, the block with its checksum, the completion byte.
    EXPECT_EQ(sent[1].line_speed, 38400);
    EXPECT_EQ(sent[1].bytes, 1u + 2u + (camlink::SMALL_BLOCK + 1) + 1u);
}

}  // namespace
}  // namespace lumicord::sim

// The simulator's paced mode: bytes take their real time on the line in both
// directions, and the camera's answers are recorded at the speed they went
// out at.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <array>
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

class host_test : public ::testing::Test {
protected:
    void SetUp() override { testing::reset_link_records(); }
    void TearDown() override { camlink::close_line(); }

    void write_command(camlink::command_id id) {
        const camlink::counted_command& c = camlink::command_table[static_cast<unsigned>(id)];
        for (int i = 1; i <= c[0]; ++i) camlink::send_byte(c[static_cast<unsigned>(i)]);
    }
};

class paced_camera_test : public host_test {
protected:
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
    ASSERT_EQ(::ioctl(camlink::line_hangup_descriptor(), FIONREAD, &arrived), 0);
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

// Through the model of a USB-serial adapter the host gets the camera's bytes
// in packets: a full one once its last byte is in, a partly filled one when
// the latency timer has run out.
class adapter_camera_test : public host_test {
protected:
    static constexpr int TIMER_MS = 16;
    static constexpr std::size_t PACKET = 62;

    // Reads until count bytes have come; the running total after each read.
    std::vector<std::size_t> totals_read(std::size_t count) {
        std::vector<std::size_t> totals;
        std::size_t total = 0;
        std::array<std::uint8_t, 2048> buffer{};
        while (total < count) {
            const long n = camlink::read_line(buffer.data(), std::min(buffer.size(), count - total));
            if (n <= 0) break;
            total += static_cast<std::size_t>(n);
            totals.push_back(total);
        }
        return totals;
    }

    camera_sim camera_{camera_with_pictures(1), {}, {true, 0, {true, TIMER_MS, PACKET}}};
};

// Whenever the host reads, it gets whole packets: the acknowledgement rides
// in the first packet with the block's first 61 bytes, the last 34 bytes
// come together.
TEST_F(adapter_camera_test, a_picture_block_arrives_in_whole_packets) {
    ASSERT_EQ(camlink::camera_connect(camera_.device_path().c_str(), 115200), camlink::RES_OK);
    write_command(camlink::CMD_GET_PICTURE);
    const std::size_t answer = 1 + camlink::LARGE_BLOCK + 1;
    const std::vector<std::size_t> totals = totals_read(answer);
    ASSERT_FALSE(totals.empty());
    EXPECT_EQ(totals.back(), answer);
    for (std::size_t i = 0; i + 1 < totals.size(); ++i)
        EXPECT_EQ(totals[i] % PACKET, 0u) << "a read ended inside a packet, after byte " << totals[i];
}

// What the timer costs: the tail of a block waits for the timer less the
// time its own bytes took on the wire, a lone byte for the whole timer, and
// a full packet not at all.
TEST_F(adapter_camera_test, the_timer_runs_from_the_first_byte_of_a_partly_filled_packet) {
    ASSERT_EQ(camlink::camera_connect(camera_.device_path().c_str(), 115200), camlink::RES_OK);
    const std::chrono::nanoseconds timer = std::chrono::milliseconds(TIMER_MS);
    const std::chrono::nanoseconds bt(11'000'000'000LL / 115200);
    const std::chrono::nanoseconds before = camera_.adapter_held();

    // The acknowledgement and the 257 bytes of the status block are four
    // full packets and a tail of ten.
    write_command(camlink::CMD_STATUS);
    const std::size_t answer = 1 + camlink::SMALL_BLOCK + 1;
    ASSERT_EQ(totals_read(answer).back(), answer);
    EXPECT_EQ(camera_.adapter_held() - before, timer - 9 * bt);

    camlink::send_byte(camlink::BLOCK_OK);
    ASSERT_EQ(totals_read(1).back(), 1u);
    EXPECT_EQ(camera_.adapter_held() - before, timer - 9 * bt + timer);
}

// At 9600 baud 14 bytes arrive within 16 ms: the timer sends the status
// answer in 18 packets of 14 and one of 6, and only the wait for the last
// one holds the host up.
TEST_F(adapter_camera_test, only_the_wait_for_the_last_packet_counts) {
    camlink::open_line(camera_.device_path().c_str(), 9600);
    const std::chrono::nanoseconds timer = std::chrono::milliseconds(TIMER_MS);
    const std::chrono::nanoseconds bt(11'000'000'000LL / 9600);
    write_command(camlink::CMD_STATUS);
    const std::size_t answer = 1 + camlink::SMALL_BLOCK + 1;
    const std::vector<std::size_t> totals = totals_read(answer);
    ASSERT_EQ(totals.back(), answer);
    for (std::size_t i = 0; i + 1 < totals.size(); ++i) EXPECT_EQ(totals[i] % 14, 0u) << totals[i];
    EXPECT_EQ(camera_.adapter_held(), timer - 5 * bt);
}

}  // namespace
}  // namespace lumicord::sim

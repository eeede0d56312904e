// The lumicord-sim tool's command line.
#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace lumicord::sim {
namespace {

sim_options parse(std::initializer_list<const char*> args) {
    std::vector<std::string> storage{"lumicord-sim"};
    for (const char* a : args) storage.emplace_back(a);
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    return parse_sim_options(static_cast<int>(storage.size()), argv.data());
}

TEST(parse_sim_options, defaults_are_a_dc20_with_three_pictures) {
    const sim_options o = parse({});
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.camera.model, 0x20);
    ASSERT_EQ(o.camera.pictures.size(), 3u);
    EXPECT_EQ(o.camera.pictures_free, 13);
    for (const stored_picture& p : o.camera.pictures) EXPECT_FALSE(p.low_res);
    EXPECT_EQ(o.faults.fault_opcode, -1);
    EXPECT_EQ(o.faults.busy_before_done, 0);
    EXPECT_EQ(o.faults.missing_completion, 0);
}

TEST(parse_sim_options, mixed_resolution_alternates_from_the_camera_setting) {
    sim_options o = parse({"--pictures", "5", "--mixed-res"});
    ASSERT_EQ(o.camera.pictures.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(o.camera.pictures[i].low_res, i % 2 == 1) << i;
    o = parse({"--pictures", "4", "--mixed-res", "--low-res"});
    ASSERT_EQ(o.camera.pictures.size(), 4u);
    EXPECT_EQ(o.camera.resolution, 1);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(o.camera.pictures[i].low_res, i % 2 == 0) << i;
}

TEST(parse_sim_options, faults_can_be_confined_to_one_command) {
    EXPECT_EQ(parse({"--fault-in", "picture"}).faults.fault_opcode, 0x51);
    EXPECT_EQ(parse({"--fault-in", "thumbnail"}).faults.fault_opcode, 0x56);
    EXPECT_EQ(parse({"--fault-in", "info"}).faults.fault_opcode, 0x55);
    EXPECT_EQ(parse({"--fault-in", "status"}).faults.fault_opcode, 0x7F);
    EXPECT_EQ(parse({"--fault-in", "0x56"}).faults.fault_opcode, 0x56);
    const sim_options o = parse({"--fault-in", "picture", "--bad-block", "62", "--bad-attempts", "5",
                                 "--missing-completion", "2"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.faults.bad_block, 62);
    EXPECT_EQ(o.faults.bad_block_attempts, 5);
    EXPECT_EQ(o.faults.missing_completion, 2);
    EXPECT_FALSE(parse({"--fault-in", "pictures"}).error.empty());
    EXPECT_FALSE(parse({"--fault-in", "256"}).error.empty());
}

TEST(parse_sim_options, a_line_that_comes_back_needs_a_link_to_lead_the_host_to_it) {
    sim_options o = parse({"--hangup-after", "20"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.faults.hangup_block, 20);
    EXPECT_LT(o.faults.back_after_ms, 0);
    o = parse({"--hangup-after", "20", "--back-after", "3000", "--link", "/tmp/camera"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.faults.back_after_ms, 3000);
    EXPECT_EQ(parse({"--hangup-after", "20", "--back-after", "3000"}).error, "--back-after goes with --link");
}

TEST(parse_sim_options, done_byte_faults) {
    const sim_options o = parse({"--snap-done", "early", "--erase-done", "never", "--busy-bytes", "10"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.faults.snap_done, done_fault::early);
    EXPECT_EQ(o.faults.erase_done, done_fault::never);
    EXPECT_EQ(o.faults.busy_before_done, 10);
    EXPECT_FALSE(parse({"--snap-done", "late"}).error.empty());
}

// A done byte sooner than the host's drain ends is swallowed by it: that is
// the early fault, not a delay.
TEST(parse_sim_options, snap_delay_must_outlast_the_drain) {
    EXPECT_FALSE(parse({"--snap-delay", "1500"}).error.empty());
    EXPECT_FALSE(parse({"--snap-delay", "200"}).error.empty());
    const sim_options o = parse({"--snap-delay", "1501", "--erase-delay", "0"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.camera.snap_delay_ms, 1501);
    EXPECT_EQ(o.camera.erase_delay_ms, 0);
}

TEST(parse_sim_options, counts_are_checked_and_capped) {
    EXPECT_EQ(parse({"--pictures", "300"}).camera.pictures.size(), 255u);
    EXPECT_FALSE(parse({"--pictures", "-1"}).error.empty());
    EXPECT_FALSE(parse({"--pictures", "three"}).error.empty());
    EXPECT_FALSE(parse({"--busy-bytes", "x"}).error.empty());
    EXPECT_EQ(parse({"--pictures", "20"}).camera.pictures_free, 0);
    EXPECT_EQ(parse({"--pictures", "2", "--free", "0"}).camera.pictures_free, 0);
}

TEST(parse_sim_options, an_adapter_is_modelled_only_when_asked_for_and_paces_the_line) {
    const sim_options plain = parse({"--paced"});
    EXPECT_FALSE(plain.pacing.adapter.present);

    const sim_options o = parse({"--adapter-latency", "1"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_TRUE(o.pacing.paced);
    EXPECT_TRUE(o.pacing.adapter.present);
    EXPECT_EQ(o.pacing.adapter.latency_ms, 1);
    EXPECT_EQ(o.pacing.adapter.packet_bytes, 62u);
    EXPECT_EQ(parse({"--adapter-packet", "510", "--adapter-latency", "16"}).pacing.adapter.packet_bytes, 510u);

    // A timer of 0 ms or beyond what a chip can be set to, and a packet
    // without an adapter, are mistakes.
    EXPECT_FALSE(parse({"--adapter-latency", "0"}).error.empty());
    EXPECT_FALSE(parse({"--adapter-latency", "256"}).error.empty());
    EXPECT_FALSE(parse({"--adapter-latency", "16", "--adapter-packet", "0"}).error.empty());
    EXPECT_FALSE(parse({"--adapter-latency", "16", "--adapter-packet", "513"}).error.empty());
    EXPECT_EQ(parse({"--adapter-packet", "62"}).error, "--adapter-packet goes with --adapter-latency");
}

TEST(parse_sim_options, stray_words_and_unknown_options_are_errors) {
    EXPECT_FALSE(parse({"extra"}).error.empty());
    EXPECT_FALSE(parse({"--no-such-option"}).error.empty());
    EXPECT_TRUE(parse({"--help"}).help);
}

}  // namespace
}  // namespace lumicord::sim

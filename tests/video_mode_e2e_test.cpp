// Video mode of the real binary against a simulated camera: snap, download
// picture 1, erase, as many times as asked, each into the next free file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/front_session.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::testing {
namespace {

using names = std::vector<std::string>;

// The simulator numbers the content of the pictures it takes from 1000 on.
sim::stored_picture snapped(int nth) {
    sim::stored_picture picture;
    picture.seed = static_cast<std::uint32_t>(1000 + nth - 1);
    return picture;
}

int commands_with_opcode(const sim::camera_sim& sim, std::uint8_t opcode) {
    int count = 0;
    for (const auto& c : sim.commands()) count += c.bytes[0] == opcode ? 1 : 0;
    return count;
}

constexpr std::uint8_t OP_SNAP = 0x77;
constexpr std::uint8_t OP_ERASE = 0x7A;

class video_mode_test : public ::testing::Test {
protected:
    scratch_dir dir_;

    program_result run(sim::camera_sim& sim, std::vector<std::string> args, long file_size_limit = 0) {
        program_run video = session(sim, dir_.path(), "", std::move(args));
        video.file_size_limit = file_size_limit;
        program_result result = run_program(video);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.err, "");
        return result;
    }

    std::vector<unsigned char> file(const std::string& name) const { return read_file(dir_ / name); }
};

TEST_F(video_mode_test, takes_downloads_and_erases_each_picture_in_turn) {
    sim::camera_sim sim(empty_camera());
    const program_result r = run(sim, {"-V3"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), saved_picture(1, "dc_001.dc2") + saved_picture(2, "dc_002.dc2") +
                                        saved_picture(3, "dc_003.dc2") + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_001.dc2", "dc_002.dc2", "dc_003.dc2"}));
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(file("dc_00" + std::to_string(n) + ".dc2"), picture_bytes(snapped(n))) << n;
    EXPECT_TRUE(sim.camera().pictures.empty());
    EXPECT_EQ(commands_with_opcode(sim, OP_SNAP), 3);
    EXPECT_EQ(commands_with_opcode(sim, OP_ERASE), 3);
    // Every picture asked for was picture 1.
    for (const auto& c : sim.commands()) {
        if (c.bytes[0] == 0x51) {
            EXPECT_EQ(c.bytes[3], 1);
        }
    }
}

TEST_F(video_mode_test, a_camera_that_is_not_empty_ends_the_run_before_anything_is_taken) {
    sim::camera_config camera = sim::camera_with_pictures(1);
    camera.snap_delay_ms = 1600;
    sim::camera_sim sim(camera);
    const program_result r = run(sim, {"-V2"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(after_startup(r.out), "\n\nThe camera memory isn't empty - Erase it and start again!" + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), names{});
    EXPECT_EQ(commands_with_opcode(sim, OP_SNAP), 0);
    EXPECT_EQ(sim.camera().pictures.size(), 1u);
}

TEST_F(video_mode_test, number_1000_is_announced_and_used) {
    sim::camera_sim sim(empty_camera());
    dir_.touch("dc_998.dc2");
    const program_result r = run(sim, {"-V2"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), saved_picture(1, "dc_999.dc2") + "\nNo free filename found!" +
                                        saved_picture(2, "dc_1000.dc2") + CLOSING_NOTICE);
    EXPECT_EQ(file("dc_1000.dc2"), picture_bytes(snapped(2)));
}

TEST_F(video_mode_test, only_number_1000_itself_is_announced) {
    sim::camera_sim sim(empty_camera());
    dir_.touch("dc_999.dc2");
    const program_result r = run(sim, {"-V2"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), "\nNo free filename found!" + saved_picture(1, "dc_1000.dc2") +
                                        saved_picture(2, "dc_1001.dc2") + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_1000.dc2", "dc_1001.dc2", "dc_999.dc2"}));
}

TEST_F(video_mode_test, a_name_that_exists_ends_the_run_with_the_picture_left_in_the_camera) {
    sim::camera_sim sim(empty_camera());
    dir_.touch("dc_999.dc2");
    dir_.touch("dc_1000.dc2", "not to be overwritten");
    const program_result r = run(sim, {"-V2"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(after_startup(r.out), "\nNo free filename found!  Filename already exists!" + CLOSING_NOTICE);
    const std::vector<unsigned char> kept = file("dc_1000.dc2");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "not to be overwritten");
    EXPECT_EQ(dir_.names(), (names{"dc_1000.dc2", "dc_999.dc2"}));
    EXPECT_EQ(sim.camera().pictures.size(), 1u);
    EXPECT_EQ(commands_with_opcode(sim, OP_ERASE), 0);
}

TEST_F(video_mode_test, a_dangling_link_is_never_written_through) {
    sim::camera_sim sim(empty_camera());
    dir_.touch("dc_999.dc2");
    std::filesystem::create_symlink("elsewhere.dc2", dir_ / "dc_1000.dc2");
    const program_result r = run(sim, {"-V"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(after_startup(r.out), "\nNo free filename found!  Filename already exists!" + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_1000.dc2", "dc_999.dc2"}));
    EXPECT_EQ(sim.camera().pictures.size(), 1u);
}

TEST_F(video_mode_test, the_search_option_has_no_effect_and_img_files_do_not_count) {
    sim::camera_sim sim(empty_camera());
    dir_.touch("dc_600.dc2");
    dir_.touch("dc_700.img");
    const program_result r = run(sim, {"-V1", "-N5"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), saved_picture(1, "dc_601.dc2") + CLOSING_NOTICE);
}

// A limit between 122,880 and 124,927 bytes lets the transfer write all its
// blocks and makes the stream's final flush of the last 2048 bytes fail, as
// on a full disk (see the download tests).
TEST_F(video_mode_test, a_picture_that_does_not_reach_the_disk_ends_the_run) {
    sim::camera_sim sim(empty_camera());
    const program_result r = run(sim, {"-V2"}, 123392);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(after_startup(r.out), "\n" + dots(60) + "  Data save error!" + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), names{});
    EXPECT_EQ(sim.camera().pictures.size(), 1u);
}

// Nobody, not even root, creates files in a directory that has been removed.
TEST_F(video_mode_test, a_file_that_cannot_be_created_ends_the_run) {
    sim::camera_sim sim(empty_camera());
    program_run video = session(sim, dir_.path(), "", {"-V2"});
    video.remove_cwd = true;
    const program_result r = run_program(video);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(after_startup(r.out), "  Can't open file!" + CLOSING_NOTICE);
    EXPECT_EQ(sim.camera().pictures.size(), 1u);
}

}  // namespace
}  // namespace lumicord::testing

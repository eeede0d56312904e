// The download commands of the real binary against a simulated camera:
// numbering, the files' contents, the messages, and every way a download
// can fail without losing or overwriting anything.
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

class download_command_test : public ::testing::Test {
protected:
    scratch_dir dir_;

    program_result run(sim::camera_sim& sim, const std::string& keys, std::vector<std::string> args = {}) {
        return finish(run_program(session(sim, dir_.path(), keys, std::move(args))));
    }

    static program_result finish(program_result result) {
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.err, "");
        return result;
    }

    std::vector<unsigned char> file(const std::string& name) const { return read_file(dir_ / name); }
    std::string text(const std::string& name) const {
        const std::vector<unsigned char> bytes = file(name);
        return {bytes.begin(), bytes.end()};
    }
};

using names = std::vector<std::string>;

TEST_F(download_command_test, d_saves_every_picture_byte_for_byte_and_a_second_d_continues_the_numbering) {
    const sim::camera_config camera = sim::camera_with_pictures(2);
    sim::camera_sim sim(camera);
    // Lower and upper case alike.
    const program_result r = run(sim, "d\nD\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_001.dc2") + saved_picture(2, "dc_002.dc2") + PROMPT +
                                        saved_picture(1, "dc_003.dc2") + saved_picture(2, "dc_004.dc2") + PROMPT +
                                        CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_001.dc2", "dc_002.dc2", "dc_003.dc2", "dc_004.dc2"}));
    EXPECT_EQ(file("dc_001.dc2"), picture_bytes(camera.pictures[0]));
    EXPECT_EQ(file("dc_002.dc2"), picture_bytes(camera.pictures[1]));
    EXPECT_EQ(file("dc_003.dc2"), picture_bytes(camera.pictures[0]));
    EXPECT_EQ(file("dc_004.dc2"), picture_bytes(camera.pictures[1]));
    // Downloading leaves the pictures in the camera.
    EXPECT_EQ(sim.camera().pictures.size(), 2u);
}

TEST_F(download_command_test, low_resolution_pictures_are_half_the_size_with_half_the_dots) {
    const sim::camera_config camera = sim::camera_with_pictures(2, true);
    sim::camera_sim sim(camera);
    const program_result r = run(sim, "D\n");
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_001.dc2", true) + saved_picture(2, "dc_002.dc2", true) +
                                        PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(file("dc_002.dc2"), picture_bytes(camera.pictures[1]));
}

TEST_F(download_command_test, a_digit_downloads_that_one_picture_and_one_beyond_the_camera_does_nothing) {
    const sim::camera_config camera = sim::camera_with_pictures(2);
    sim::camera_sim sim(camera);
    const program_result r = run(sim, "3\n2\n8\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + PROMPT + saved_picture(2, "dc_001.dc2") + PROMPT + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), names{"dc_001.dc2"});
    EXPECT_EQ(file("dc_001.dc2"), picture_bytes(camera.pictures[1]));
    // No picture was asked for beyond the second.
    for (const auto& c : sim.commands())
        if (c.bytes[0] == 0x51) {
            EXPECT_EQ(c.bytes[3], 2);
        }
}

TEST_F(download_command_test, d_with_an_empty_camera_does_nothing) {
    sim::camera_sim sim(sim::camera_with_pictures(0));
    const program_result r = run(sim, "d\n");
    EXPECT_EQ(after_startup(r.out), PROMPT + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), names{});
}

TEST_F(download_command_test, numbering_follows_the_highest_picture_or_img_file_at_or_below_the_top) {
    sim::camera_sim sim(sim::camera_with_pictures(1));
    dir_.touch("dc_003.dc2");
    dir_.touch("dc_007.img");
    dir_.touch("dc_150.dc2");
    dir_.touch("dc_50.dc2");
    const program_result r = run(sim, "d\n");
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_008.dc2") + PROMPT + CLOSING_NOTICE);
}

TEST_F(download_command_test, an_img_file_of_the_same_number_does_not_stop_a_download) {
    sim::camera_sim sim(sim::camera_with_pictures(1));
    dir_.touch("dc_010.dc2");
    dir_.touch("dc_011.img");
    const program_result r = run(sim, "d\n", {"-N10"});
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_011.dc2") + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_010.dc2", "dc_011.dc2", "dc_011.img"}));
}

// Up to the highest top -N takes, and on past it, on 32-bit systems too.
TEST_F(download_command_test, a_huge_search_top_answers_at_once) {
    struct numbering_case {
        const char* top;
        const char* existing;
        const char* first;
        const char* second;
    };
    for (const numbering_case& c :
         {numbering_case{"-N2000000000", "dc_1999999999.dc2", "dc_2000000000.dc2", "dc_2000000001.dc2"},
          numbering_case{"-N2147483647", "dc_2147483647.dc2", "dc_2147483648.dc2", "dc_2147483649.dc2"},
          numbering_case{"-N99999999999", "dc_2147483647.dc2", "dc_2147483648.dc2", "dc_2147483649.dc2"}}) {
        SCOPED_TRACE(c.top);
        scratch_dir dir;
        dir.touch(c.existing);
        sim::camera_sim sim(sim::camera_with_pictures(2));
        const program_result r = finish(run_program(session(sim, dir.path(), "d\n", {c.top})));
        EXPECT_EQ(after_startup(r.out),
                  PROMPT + saved_picture(1, c.first) + saved_picture(2, c.second) + PROMPT + CLOSING_NOTICE);
        EXPECT_EQ(dir.names(), (names{c.existing, c.first, c.second}));
    }
}

TEST_F(download_command_test, a_name_that_exists_stops_d_and_is_left_alone) {
    const sim::camera_config camera = sim::camera_with_pictures(3);
    sim::camera_sim sim(camera);
    dir_.touch("dc_010.dc2");
    dir_.touch("dc_012.dc2", "above the search top");
    const program_result r = run(sim, "d\n", {"-N10"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_011.dc2") + "  Filename already exists!" + PROMPT +
                                        CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_010.dc2", "dc_011.dc2", "dc_012.dc2"}));
    EXPECT_EQ(text("dc_012.dc2"), "above the search top");
    EXPECT_EQ(file("dc_011.dc2"), picture_bytes(camera.pictures[0]));
}

TEST_F(download_command_test, search_top_zero_starts_at_one_every_time) {
    sim::camera_sim sim(sim::camera_with_pictures(1));
    dir_.touch("dc_001.dc2", "kept");
    const program_result r = run(sim, "d\n1\n", {"-N0"});
    EXPECT_EQ(after_startup(r.out), PROMPT + "  Filename already exists!" + PROMPT + "  Filename already exists!" + PROMPT +
                                        CLOSING_NOTICE);
    EXPECT_EQ(text("dc_001.dc2"), "kept");
}

TEST_F(download_command_test, a_dangling_link_is_never_written_through) {
    sim::camera_sim sim(sim::camera_with_pictures(1));
    std::filesystem::create_symlink("target.dc2", dir_ / "dc_001.dc2");
    const program_result r = run(sim, "d\n", {"-N0"});
    EXPECT_EQ(after_startup(r.out), PROMPT + "  Filename already exists!" + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), names{"dc_001.dc2"});
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "dc_001.dc2"));

    // Within the search the link takes its number like any file.
    const program_result searched = run(sim, "d\n");
    EXPECT_EQ(after_startup(searched.out), PROMPT + saved_picture(1, "dc_002.dc2") + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_001.dc2", "dc_002.dc2"}));
}

// A working directory that has been removed takes no new file, not even
// from root.
TEST_F(download_command_test, a_file_that_cannot_be_created_stops_the_command) {
    sim::camera_sim sim(sim::camera_with_pictures(2));
    const auto in_a_removed_directory = [&](const std::string& keys) {
        const scratch_dir gone;
        program_run run = session(sim, gone.path(), keys);
        run.remove_cwd = true;
        return finish(run_program(run));
    };
    const program_result d = in_a_removed_directory("d\n");
    EXPECT_EQ(d.exit_status, 0);
    EXPECT_EQ(after_startup(d.out), PROMPT + "  Can't open file!" + PROMPT + CLOSING_NOTICE);
    const program_result x = in_a_removed_directory("x\n");
    EXPECT_EQ(x.exit_status, 1);
    EXPECT_EQ(after_startup(x.out), PROMPT + "  Can't open file!" + CLOSING_NOTICE);
}

TEST_F(download_command_test, a_failed_download_deletes_its_file_and_keeps_the_ones_before) {
    const sim::camera_config camera = sim::camera_with_pictures(3);
    sim::fault_config faults;
    faults.bad_block = SECOND_PICTURE_FIRST_BLOCK + 3;
    faults.bad_block_attempts = 5;
    sim::camera_sim sim(camera, faults);
    const program_result r = run(sim, "d\n");
    EXPECT_EQ(r.exit_status, 0);
    // Block 2 of the second picture earned its dot before block 3 failed.
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_001.dc2") + "\n." + "  Wrong data packet received!" +
                                        PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), names{"dc_001.dc2"});
    EXPECT_EQ(file("dc_001.dc2"), picture_bytes(camera.pictures[0]));
}

// With RLIMIT_FSIZE the kernel refuses to let a file grow past the limit,
// as a full disk would. The stream's buffer (4 or 8 KiB) holds a
// high-resolution picture's last 2048 bytes until the file is finished, so
// a limit between 122,880 and 124,927 bytes makes only that final flush
// fail: the transfer itself completes with all its dots.
constexpr long FINAL_FLUSH_FAILS = 123392;

sim::camera_config low_then_high() {
    sim::camera_config camera;
    camera.pictures = {{true, 4, 30, 1}, {false, 4, 30, 2}};
    camera.pictures_free = 14;
    return camera;
}

TEST_F(download_command_test, a_picture_that_does_not_reach_the_disk_is_not_saved) {
    const sim::camera_config camera = low_then_high();
    sim::camera_sim sim(camera);
    program_run d = session(sim, dir_.path(), "d\n");
    d.file_size_limit = FINAL_FLUSH_FAILS;
    const program_result r = finish(run_program(d));
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_001.dc2", true) + "\n" + dots(60) + "  Data save error!" +
                                        PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), names{"dc_001.dc2"});
    EXPECT_EQ(file("dc_001.dc2"), picture_bytes(camera.pictures[0]));
}

TEST_F(download_command_test, x_in_an_empty_directory_downloads_and_writes_no_command_file) {
    const sim::camera_config camera = sim::camera_with_pictures(2);
    sim::camera_sim sim(camera);
    dir_.touch("pixforge.cmd", "-x77 -a\n");
    const program_result r = run(sim, "x\n9\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_001.dc2") + saved_picture(2, "dc_002.dc2") + CLOSING_NOTICE);
    // The command file of an earlier run went at start-up.
    EXPECT_EQ(dir_.names(), (names{"dc_001.dc2", "dc_002.dc2"}));
    EXPECT_EQ(file("dc_002.dc2"), picture_bytes(camera.pictures[1]));
}

TEST_F(download_command_test, x_writes_the_first_new_number_into_the_command_file) {
    sim::camera_sim sim(sim::camera_with_pictures(2));
    for (const char* n : {"dc_001.dc2", "dc_002.dc2", "dc_003.dc2", "dc_004.dc2"}) dir_.touch(n);
    const program_result r = run(sim, "X\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_005.dc2") + saved_picture(2, "dc_006.dc2") + CLOSING_NOTICE);
    EXPECT_EQ(text("pixforge.cmd"), "-x5 -a\n");
}

TEST_F(download_command_test, the_first_search_that_finds_a_file_fixes_the_first_new_number) {
    sim::camera_sim sim(sim::camera_with_pictures(1));
    dir_.touch("dc_004.dc2");
    const program_result r = run(sim, "d\nd\nx\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_005.dc2") + PROMPT + saved_picture(1, "dc_006.dc2") + PROMPT +
                                        saved_picture(1, "dc_007.dc2") + CLOSING_NOTICE);
    EXPECT_EQ(text("pixforge.cmd"), "-x5 -a\n");

    // Started in an empty directory, the first "D" finds nothing; the
    // second finds its files and fixes the number there.
    scratch_dir empty;
    sim::camera_sim again(sim::camera_with_pictures(1));
    const program_result later = finish(run_program(session(again, empty.path(), "d\nd\nx\n")));
    EXPECT_EQ(later.exit_status, 0);
    const std::vector<unsigned char> command = read_file(empty / "pixforge.cmd");
    EXPECT_EQ(std::string(command.begin(), command.end()), "-x2 -a\n");
}

TEST_F(download_command_test, x_with_an_empty_camera_writes_the_command_file_and_exits) {
    sim::camera_sim sim(sim::camera_with_pictures(0));
    dir_.touch("dc_003.dc2");
    const program_result r = run(sim, "x\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_003.dc2", "pixforge.cmd"}));
    EXPECT_EQ(text("pixforge.cmd"), "-x4 -a\n");
}

TEST_F(download_command_test, x_with_search_top_zero_never_writes_the_command_file) {
    sim::camera_sim sim(sim::camera_with_pictures(1));
    const program_result r = run(sim, "d\nx\n", {"-N0"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_001.dc2") + PROMPT + "  Filename already exists!" +
                                        CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), names{"dc_001.dc2"});
}

TEST_F(download_command_test, x_ends_with_status_1_when_a_name_exists) {
    sim::camera_sim sim(sim::camera_with_pictures(2));
    dir_.touch("dc_010.dc2");
    dir_.touch("dc_012.dc2", "above the search top");
    const program_result r = run(sim, "x\n", {"-N10"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_011.dc2") + "  Filename already exists!" + CLOSING_NOTICE);
    EXPECT_EQ(text("dc_012.dc2"), "above the search top");
    // The command file is written whatever the downloads' outcome.
    EXPECT_EQ(text("pixforge.cmd"), "-x11 -a\n");
}

TEST_F(download_command_test, x_ends_with_status_1_when_a_download_fails) {
    const sim::camera_config camera = sim::camera_with_pictures(2);
    sim::fault_config faults;
    // "X" has one status block before the pictures, like "D".
    faults.bad_block = SECOND_PICTURE_FIRST_BLOCK;
    faults.bad_block_attempts = 5;
    sim::camera_sim sim(camera, faults);
    dir_.touch("dc_001.dc2");
    const program_result r = run(sim, "x\n");
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_002.dc2") + "\n  Wrong data packet received!" + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_001.dc2", "dc_002.dc2", "pixforge.cmd"}));
    EXPECT_EQ(text("pixforge.cmd"), "-x2 -a\n");
}

TEST_F(download_command_test, x_ends_with_status_1_when_a_picture_does_not_reach_the_disk) {
    sim::camera_sim sim(low_then_high());
    program_run x = session(sim, dir_.path(), "x\n");
    x.file_size_limit = FINAL_FLUSH_FAILS;
    const program_result r = finish(run_program(x));
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_001.dc2", true) + "\n" + dots(60) + "  Data save error!" +
                                        CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), names{"dc_001.dc2"});
}

// A camera that answers with the wrong byte once it is known to be a DC20
// fails every status exchange after the first, at once.
TEST_F(download_command_test, x_whose_status_exchange_fails_does_not_exit) {
    sim::fault_config faults;
    faults.ack_byte = 0x00;
    sim::camera_sim sim(sim::camera_with_pictures(2), faults);
    dir_.touch("dc_001.dc2");
    const program_result r = run(sim, "x\n9\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + "  Wrong data received!" + PROMPT + MENU + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), names{"dc_001.dc2"});
}

}  // namespace
}  // namespace lumicord::testing

// A line that goes away under the real binary (the simulator hangs its
// terminal up, as an unplugged USB-serial adapter does) and comes back on a
// new terminal behind the same name: noticed at once, said once, nothing
// lost, and carried on with.
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/front_session.h"
#include "tests/support/line_settings.h"
#include "tests/support/linked_camera.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/unpluggable_camera.h"

namespace lumicord::testing {
namespace {

using names = std::vector<std::string>;

constexpr std::uint8_t OP_GET_PICTURE = 0x51;
const std::string AT_PROMPT = " photos free" + PROMPT;
const std::string CUT_OFF = "  Wrong data packet received!";

std::string gone_line(const std::string& name) {
    return name + " is gone; waiting up to 60 s for it to come back (Ctrl-C to stop).\n";
}
std::string back_line(const std::string& name) { return name + " is back.\n"; }

// The processor time a running process has used so far, user and system,
// as Linux's /proc tells it (0 where there is none).
double cpu_seconds_of(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which may hold blanks itself.
    const std::size_t after_name = text.rfind(')');
    if (after_name == std::string::npos) return 0;
    std::istringstream fields(text.substr(after_name + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14) user = std::stoull(field);
        if (n == 15) system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Hangs up instead of sending the given block of the picture downloads,
// and comes back after back_after_ms (never when negative).
sim::fault_config unplugged_at_picture_block(int block, int back_after_ms) {
    sim::fault_config faults;
    faults.fault_opcode = OP_GET_PICTURE;
    faults.hangup_block = block;
    faults.back_after_ms = back_after_ms;
    return faults;
}

// The progress dots of a picture download cut off before block `block`
// (counted from 1): blocks 1 to block-1 arrived, and every second one from
// the third on has a dot.
std::string dots_before_block(int block) { return dots((block - 2) / 2); }

class line_return_test : public ::testing::Test {
protected:
    scratch_dir dir_;
    scratch_dir names_;  // where the camera's fixed name lives, apart from the pictures

    program_run session_on(const unpluggable_camera& camera, std::string keys, std::vector<std::string> args) {
        args.insert(args.begin(), "-C" + camera.name());
        return lumicord_run(std::move(args), std::move(keys), dir_.path().string());
    }
    std::vector<unsigned char> file(const std::string& name) const { return read_file(dir_ / name); }
};

TEST_F(line_return_test, a_download_cut_off_is_deleted_and_after_the_return_the_next_keys_work) {
    const sim::camera_config pictures = sim::camera_with_pictures(2);
    unpluggable_camera camera(pictures, unplugged_at_picture_block(20, 1000), names_ / "camera");
    const termios before = camera.sim().line_settings();
    const program_result r = run_program(session_on(camera, "d\nd\nq\n", {"-B115200"}));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0);
    // Said once each, and nothing else: no failed write or setting on the
    // dead device is reported.
    EXPECT_EQ(r.err, gone_line(camera.name()) + back_line(camera.name()));
    // The first "d" fails as on a silent camera; the command is not
    // repeated by itself, the second "d" downloads everything.
    EXPECT_EQ(after_startup(r.out), PROMPT + "\n" + dots_before_block(20) + CUT_OFF + PROMPT +
                                        saved_picture(1, "dc_001.dc2") + saved_picture(2, "dc_002.dc2") + PROMPT +
                                        CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_001.dc2", "dc_002.dc2"}));
    EXPECT_EQ(file("dc_001.dc2"), picture_bytes(pictures.pictures[0]));
    EXPECT_EQ(file("dc_002.dc2"), picture_bytes(pictures.pictures[1]));
    // The camera kept its working speed through the hang-up, was found there
    // and is sent back to 9600 at the end; the new terminal has its own
    // settings back.
    EXPECT_EQ(camera.sim().hangups(), 1);
    EXPECT_EQ(camera.sim().camera_speed(), 9600);
    EXPECT_TRUE(same_settings(before, camera.sim().line_settings()));
}

TEST_F(line_return_test, unplugged_at_the_prompt_is_noticed_at_once_and_the_next_key_works) {
    sim::fault_config faults;
    faults.back_after_ms = 1000;
    unpluggable_camera camera(sim::camera_with_pictures(1), faults, names_ / "camera");
    program_run run = session_on(camera, "", {"-B38400"});
    run.marker = AT_PROMPT;
    // The hang-up is complete before the key is typed.
    double cpu_before_the_loss = 0;
    run.at_marker = [&](int pid) {
        cpu_before_the_loss = cpu_seconds_of(pid);
        camera.sim().hang_up_now();
    };
    run.input_at_marker = "s\nq\n";
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, gone_line(camera.name()) + back_line(camera.name()));
    // A fresh prompt once the line is back, then the list the key asked for.
    const std::string listing = PROMPT + PROMPT + "\nDC20 camera with 38400 baud at " + camera.name() + " detected.";
    EXPECT_NE(r.out.find(listing), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(CUT_OFF), std::string::npos) << r.out;
    EXPECT_EQ(camera.sim().camera_speed(), 9600);
    // The wait for the device looks for it now and then, not without pause:
    // from the loss to the end, a second of it without the device, the
    // program takes a small fraction of a second of processor time (a busy
    // wait would take the whole second).
    if (!r.under_valgrind) {
        EXPECT_LT(r.cpu_seconds - cpu_before_the_loss, 0.5);
    }
}

TEST_F(line_return_test, video_mode_carries_on_with_the_picture_not_yet_saved) {
    // Cut off in the second picture's download (its 31st block): the
    // picture is still in the camera and is fetched again into the same
    // file number; no picture is taken twice.
    const int block = 122 + 31;
    unpluggable_camera camera(empty_camera(), unplugged_at_picture_block(block, 1000), names_ / "camera");
    const program_result r = run_program(session_on(camera, "", {"-B57600", "-V3"}));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, gone_line(camera.name()) + back_line(camera.name()));
    EXPECT_EQ(after_startup(r.out), saved_picture(1, "dc_001.dc2") + "\n" + dots_before_block(31) + CUT_OFF +
                                        saved_picture(2, "dc_002.dc2") + saved_picture(3, "dc_003.dc2") +
                                        CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), (names{"dc_001.dc2", "dc_002.dc2", "dc_003.dc2"}));
    const std::vector<sim::stored_picture> taken = camera.sim().pictures_taken();
    ASSERT_EQ(taken.size(), 3u);
    for (std::size_t n = 0; n < taken.size(); ++n)
        EXPECT_EQ(file("dc_00" + std::to_string(n + 1) + ".dc2"), picture_bytes(taken[n])) << n;
    EXPECT_TRUE(camera.sim().camera().pictures.empty());
}

TEST_F(line_return_test, video_mode_erases_again_when_the_line_went_during_the_erase) {
    sim::fault_config faults;
    faults.erase_done = sim::done_fault::hang_up;
    faults.back_after_ms = 500;
    unpluggable_camera camera(empty_camera(), faults, names_ / "camera");
    const program_result r = run_program(session_on(camera, "", {"-B38400", "-V2"}));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, gone_line(camera.name()) + back_line(camera.name()));
    // The first erase was cut off before the camera did it: done again
    // after the return, so the second round finds an empty camera and its
    // picture, not the first one again, goes into the second file.
    EXPECT_EQ(dir_.names(), (names{"dc_001.dc2", "dc_002.dc2"}));
    const std::vector<sim::stored_picture> taken = camera.sim().pictures_taken();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(file("dc_001.dc2"), picture_bytes(taken[0]));
    EXPECT_EQ(file("dc_002.dc2"), picture_bytes(taken[1]));
    EXPECT_TRUE(camera.sim().camera().pictures.empty());
}

TEST_F(line_return_test, video_mode_takes_the_picture_again_when_the_returning_camera_lost_it) {
    // Cut off in the first picture's download; meanwhile the camera was
    // reset (its memory emptied). The run still ends with its two pictures.
    unpluggable_camera camera(empty_camera(), unplugged_at_picture_block(31, 1000), names_ / "camera");
    camera.on_return([](sim::camera_sim& sim) { sim.lose_pictures(); });
    const program_result r = run_program(session_on(camera, "", {"-B57600", "-V2"}));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, gone_line(camera.name()) + back_line(camera.name()));
    EXPECT_EQ(after_startup(r.out), "\n" + dots_before_block(31) + CUT_OFF + saved_picture(1, "dc_001.dc2") +
                                        saved_picture(2, "dc_002.dc2") + CLOSING_NOTICE);
    const std::vector<sim::stored_picture> taken = camera.sim().pictures_taken();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(file("dc_001.dc2"), picture_bytes(taken[1]));
    EXPECT_EQ(file("dc_002.dc2"), picture_bytes(taken[2]));
}

TEST_F(line_return_test, video_mode_refuses_a_returning_camera_that_holds_more_than_its_picture) {
    // Cut off in the first picture's download; meanwhile someone took a
    // second picture with the camera's own button.
    unpluggable_camera camera(empty_camera(), unplugged_at_picture_block(31, 500), names_ / "camera");
    camera.on_return([](sim::camera_sim& sim) { sim.press_shutter(); });
    const program_result r = run_program(session_on(camera, "", {"-B57600", "-V2"}));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, gone_line(camera.name()) + back_line(camera.name()));
    EXPECT_EQ(after_startup(r.out), "\n" + dots_before_block(31) + CUT_OFF +
                                        "\n\nThe camera memory isn't empty - Erase it and start again!" +
                                        CLOSING_NOTICE);
    EXPECT_TRUE(dir_.names().empty());
    EXPECT_EQ(camera.sim().camera().pictures.size(), 2u);
}

TEST_F(line_return_test, a_stop_after_a_return_to_a_silent_camera_tries_the_goodbye_once) {
    sim::fault_config faults = unplugged_at_picture_block(10, 500);
    faults.back_silent = true;
    unpluggable_camera camera(sim::camera_with_pictures(1), faults, names_ / "camera");
    program_run run = session_on(camera, "d\n", {"-B115200"});
    run.close_input = false;
    run.signal_when = CUT_OFF + PROMPT;
    run.signal_number = SIGHUP;
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.killed_by, SIGHUP);
    EXPECT_EQ(r.err, gone_line(camera.name()) + camera.name() + " is back, but the camera does not answer.\n");
    // Heard since the return: the search (twice at the working speed, three
    // times at 9600), then the goodbye's call home once, not three times.
    camera.sim().settle();
    const std::vector<sim::logged_byte> log = camera.sim().received();
    std::vector<std::uint8_t> since;
    for (std::size_t i = camera.bytes_at_return(); i < log.size(); ++i) since.push_back(log[i].value);
    EXPECT_EQ(commands_in(since).size(), 2u + 3u + 1u) << hex(since);
}

TEST_F(line_return_test, ctrl_c_ends_the_wait_by_the_signal) {
    unpluggable_camera camera(sim::camera_with_pictures(1), unplugged_at_picture_block(10, -1), names_ / "camera");
    program_run run = session_on(camera, "d\n", {"-B115200"});
    run.close_input = false;
    run.signal_when = CUT_OFF;
    run.signal_number = SIGINT;
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.killed_by, SIGINT);
    EXPECT_LT(r.seconds, 30.0);
    EXPECT_EQ(r.err, gone_line(camera.name()));
    EXPECT_EQ(after_startup(r.out), PROMPT + "\n" + dots_before_block(10) + CUT_OFF + CLOSING_NOTICE);
    EXPECT_TRUE(dir_.names().empty());
}

}  // namespace
}  // namespace lumicord::testing

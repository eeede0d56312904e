// A line that goes away and does not come back: the real binary waits the
// full minute for it, then ends with status 255, said once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/front_session.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/unpluggable_camera.h"

namespace lumicord::testing {
namespace {

constexpr std::uint8_t OP_GET_PICTURE = 0x51;

// Hangs up instead of sending the given block of the picture downloads.
sim::fault_config unplugged_at_picture_block(int block) {
    sim::fault_config faults;
    faults.fault_opcode = OP_GET_PICTURE;
    faults.hangup_block = block;
    return faults;
}

// A loose connector: the line hangs up instead of sending the given block,
// is back a moment after each loss and goes again up_ms after each return.
sim::fault_config flapping_from_picture_block(int block, int up_ms) {
    sim::fault_config faults = unplugged_at_picture_block(block);
    faults.back_after_ms = 1;
    faults.flap_up_ms = up_ms;
    return faults;
}

std::string lines_for_a_line_that_stays_away(const std::string& name) {
    return name + " is gone; waiting up to 60 s for it to come back (Ctrl-C to stop).\n" + name +
           " did not come back within 60 s.\n";
}

TEST(line_return_slow, a_line_that_stays_away_mid_download_ends_the_program_with_255_after_a_minute) {
    scratch_dir dir;
    scratch_dir names;
    unpluggable_camera camera(sim::camera_with_pictures(2), unplugged_at_picture_block(10), names / "camera");
    const program_result r =
        run_program(lumicord_run({"-C" + camera.name(), "-B115200"}, "d\nd\nq\n", dir.path().string()));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.err, lines_for_a_line_that_stays_away(camera.name()));
    EXPECT_EQ(after_startup(r.out), PROMPT + "\n" + dots(4) + "  Wrong data packet received!" + CLOSING_NOTICE);
    EXPECT_TRUE(dir.names().empty());
    EXPECT_GE(r.seconds, 60.0);
}

TEST(line_return_slow, a_line_that_stays_away_from_the_prompt_ends_the_program_with_255_after_a_minute) {
    scratch_dir dir;
    scratch_dir names;
    unpluggable_camera camera(sim::camera_with_pictures(1), {}, names / "camera");
    program_run run = lumicord_run({"-C" + camera.name()}, "", dir.path().string());
    run.marker = " photos free" + PROMPT;
    run.at_marker = [&](int) { camera.sim().hang_up_now(); };
    run.close_input = false;
    run.timeout_seconds = 90;
    const program_result r = run_program(run);
    // With no key coming, only the line itself can wake the program.
    ASSERT_FALSE(r.timed_out) << "the hang-up at the prompt went unnoticed";
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.err, lines_for_a_line_that_stays_away(camera.name()));
    EXPECT_EQ(after_startup(r.out), PROMPT + CLOSING_NOTICE);
}

TEST(line_return_slow, a_device_that_keeps_coming_back_for_a_moment_is_given_up_a_minute_after_the_loss) {
    scratch_dir dir;
    scratch_dir names;
    // The device can almost always be opened; behind it a camera that no
    // longer answers.
    sim::fault_config faults = flapping_from_picture_block(10, 600);
    faults.back_silent = true;
    unpluggable_camera camera(sim::camera_with_pictures(1), faults, names / "camera");
    program_run run = lumicord_run({"-C" + camera.name(), "-B115200"}, "d\n", dir.path().string());
    run.close_input = false;
    run.timeout_seconds = 100;
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out) << "the limit did not hold while the device kept coming back";
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.err, lines_for_a_line_that_stays_away(camera.name()));
    EXPECT_GT(camera.sim().hangups(), 10);
}

TEST(line_return_slow, video_mode_on_a_line_that_keeps_going_away_gives_up_a_minute_after_the_first_loss) {
    scratch_dir dir;
    scratch_dir names;
    // The camera is found after each return, but 2.5 s is too short for
    // any picture at 115200 baud on a line as fast as a real one.
    sim::pacing_config pacing;
    pacing.paced = true;
    unpluggable_camera camera(empty_camera(), flapping_from_picture_block(10, 2500), names / "camera", pacing);
    program_run run = lumicord_run({"-C" + camera.name(), "-B115200", "-V1"}, "", dir.path().string());
    run.timeout_seconds = 90;
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out) << "the minute did not hold while the line kept coming back";
    EXPECT_EQ(r.exit_status, 255);
    const std::string gone = camera.name() + " is gone; waiting up to 60 s for it to come back (Ctrl-C to stop).\n";
    const std::string back = camera.name() + " is back.\n";
    EXPECT_TRUE(r.err.starts_with(gone + back + gone + back)) << r.err;
    EXPECT_TRUE(r.err.ends_with(camera.name() + " kept going away; given up 60 s after it first went.\n"))
        << r.err;
    EXPECT_TRUE(dir.names().empty());
    ::testing::Test::RecordProperty("seconds", std::to_string(r.seconds));
    ::testing::Test::RecordProperty("hangups", camera.sim().hangups());
    ::testing::Test::RecordProperty("cpu_seconds", std::to_string(r.cpu_seconds));
}

TEST(line_return_slow, x_with_a_line_that_never_returns_still_leaves_the_converter_file_for_the_saved_pictures) {
    scratch_dir dir;
    scratch_dir names;
    dir.touch("dc_005.dc2", "earlier");
    const sim::camera_config pictures = sim::camera_with_pictures(2);
    unpluggable_camera camera(pictures, unplugged_at_picture_block(122 + 10), names / "camera");
    const program_result r =
        run_program(lumicord_run({"-C" + camera.name(), "-B115200"}, "x\n", dir.path().string()));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.err, lines_for_a_line_that_stays_away(camera.name()));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"dc_005.dc2", "dc_006.dc2", "pixforge.cmd"}));
    EXPECT_EQ(read_file(dir / "dc_006.dc2"), picture_bytes(pictures.pictures[0]));
    const std::vector<unsigned char> command = read_file(dir / "pixforge.cmd");
    EXPECT_EQ(std::string(command.begin(), command.end()), "-x6 -a\n");
}

}  // namespace
}  // namespace lumicord::testing

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

std::string lines_for_a_line_that_stays_away(const std::string& name) {
    return name + " is gone; waiting up to 60 s for it to come back (Ctrl-C to stop).\n" + name +
           " did not come back within 60 s.\n";
}

TEST(line_return_slow, a_line_that_stays_away_mid_download_ends_the_program_with_255_after_a_minute) {
    scratch_dir dir;
    scratch_dir names;
    sim::fault_config faults;
    faults.fault_opcode = OP_GET_PICTURE;
    faults.hangup_block = 10;
    unpluggable_camera camera(sim::camera_with_pictures(2), faults, names / "camera");
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
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.err, lines_for_a_line_that_stays_away(camera.name()));
    EXPECT_EQ(after_startup(r.out), PROMPT + CLOSING_NOTICE);
}

}  // namespace
}  // namespace lumicord::testing

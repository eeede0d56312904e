// Download commands against a camera that falls silent: each failure here
// waits out the line's 1.5 s timeouts.
#include <gtest/gtest.h>

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

TEST(download_silence_test, a_camera_falling_silent_mid_picture_costs_that_picture_only) {
    const sim::camera_config camera = sim::camera_with_pictures(3);
    sim::fault_config faults;
    faults.cut_block = SECOND_PICTURE_FIRST_BLOCK + 3;
    faults.cut_after = 100;
    faults.silent_after_cut = true;
    sim::camera_sim sim(camera, faults);
    scratch_dir dir;
    const program_result r = run_program(session(sim, dir.path(), "d\nq\n"));
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(unexpected_errors(r.err), "");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + saved_picture(1, "dc_001.dc2") + "\n." + "  Wrong data packet received!" +
                                        PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir.names(), names{"dc_001.dc2"});
    EXPECT_EQ(read_file(dir / "dc_001.dc2"), picture_bytes(camera.pictures[0]));
    // Five attempts at the block, each ended by 1.5 s of silence.
    EXPECT_GE(r.seconds, 7.5);
}

// Start-up sends three CMD_INITs to connect and then CMD_INIT and
// CMD_STATUS; the camera falls silent from the next command on, the first
// of "X"'s status exchange.
constexpr int FIRST_COMMAND_AFTER_STARTUP = 6;

TEST(download_silence_test, x_whose_status_exchange_fails_stays_at_the_prompt) {
    sim::fault_config faults;
    faults.silent_from_command = FIRST_COMMAND_AFTER_STARTUP;
    sim::camera_sim sim(sim::camera_with_pictures(2), faults);
    scratch_dir dir;
    dir.touch("dc_001.dc2");
    const program_result r = run_program(session(sim, dir.path(), "x\n9\n"));
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0);
    // A DC20 that does not answer is a camera not found.
    EXPECT_EQ(after_startup(r.out), PROMPT + "  Camera not found!" + PROMPT + MENU + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir.names(), names{"dc_001.dc2"});
    // Ten tries at CMD_INIT, each waiting 1.5 s for its acknowledgement.
    EXPECT_GE(r.seconds, 15.0);
}

}  // namespace
}  // namespace lumicord::testing

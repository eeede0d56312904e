// A download command against a camera that falls silent: the failure here
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

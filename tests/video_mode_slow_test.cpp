// Video mode against a camera that does not finish its work: each case
// waits out the done-byte waits of 11 or 31 tries of 1.5 s.
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

program_result run_video(sim::camera_sim& sim, const scratch_dir& dir, const std::string& count) {
    program_result r = run_program(session(sim, dir.path(), "", {count}));
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.err, "");
    return r;
}

TEST(video_mode_stall_test, a_snap_the_camera_never_completes_leaves_no_file) {
    sim::fault_config faults;
    faults.snap_done = sim::done_fault::never;
    sim::camera_sim sim(empty_camera(), faults);
    scratch_dir dir;
    const program_result r = run_video(sim, dir, "-V2");
    EXPECT_EQ(r.exit_status, 1);
    // The frame goes on after the failed snap; with no picture in the camera
    // the download is impossible and its file goes again.
    EXPECT_EQ(after_startup(r.out), "  No response from camera!\n  Impossible!" + CLOSING_NOTICE);
    EXPECT_EQ(dir.names(), names{});
    EXPECT_GE(r.seconds, 1.5 + 11 * 1.5);
}

TEST(video_mode_stall_test, a_snap_reported_as_failed_but_taken_is_saved) {
    sim::fault_config faults;
    faults.snap_done = sim::done_fault::early;
    sim::camera_sim sim(empty_camera(), faults);
    scratch_dir dir;
    const program_result r = run_video(sim, dir, "-V1");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), "  No response from camera!" + saved_picture(1, "dc_001.dc2") + CLOSING_NOTICE);
    EXPECT_EQ(dir.names(), names{"dc_001.dc2"});
    EXPECT_TRUE(sim.camera().pictures.empty());
}

TEST(video_mode_stall_test, an_erase_that_fails_keeps_the_saved_file_and_ends_the_run) {
    sim::fault_config faults;
    faults.erase_done = sim::done_fault::never;
    sim::camera_sim sim(empty_camera(), faults);
    scratch_dir dir;
    const program_result r = run_video(sim, dir, "-V2");
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(after_startup(r.out), saved_picture(1, "dc_001.dc2") + "  No response from camera!" + CLOSING_NOTICE);
    EXPECT_EQ(dir.names(), names{"dc_001.dc2"});
    // The picture is still in the camera, and the file holds it.
    const std::vector<sim::stored_picture> pictures = sim.camera().pictures;
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(read_file(dir / "dc_001.dc2"), picture_bytes(pictures[0]));
    EXPECT_GE(r.seconds, 31 * 1.5);
}

}  // namespace
}  // namespace lumicord::testing

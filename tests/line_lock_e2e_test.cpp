// Two programs on one serial line would corrupt each other's transfers: the
// second lumicord on a port that is in use must give up before it sends
// anything, and leave the first one undisturbed.
#include <gtest/gtest.h>
#include <csignal>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/front_session.h"
#include "tests/support/line_settings.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::testing {
namespace {

const std::string AT_PROMPT = " photos free\n: ";

// What the second program saw and did while the first sat at its prompt.
struct second_run {
    program_result result;
    std::size_t bytes_before = 0;
    std::size_t bytes_after = 0;
    termios held{};   // the line's settings before it ran...
    termios after{};  // ...and after
};

// Runs the first lumicord on device_for_first; once it waits at its prompt,
// runs a second one on device_for_second, then types keys into the first.
program_result first_with_second_meanwhile(sim::camera_sim& sim, const scratch_dir& dir,
                                           const std::string& device_for_first, const std::string& device_for_second,
                                           const std::string& keys, second_run& second) {
    program_run first = lumicord_run({"-C" + device_for_first, "-B19200"}, "", dir.path().string());
    first.marker = AT_PROMPT;
    first.at_marker = [&](int) {
        sim.settle();
        second.bytes_before = sim.received().size();
        second.held = sim.line_settings();
        program_run run = lumicord_run({"-C" + device_for_second}, "q\n", dir.path().string());
        run.timeout_seconds = 30;
        second.result = run_program(run);
        sim.settle();
        second.bytes_after = sim.received().size();
        second.after = sim.line_settings();
    };
    first.input_at_marker = keys;
    return run_program(first);
}

void expect_refused(const second_run& second, const std::string& device) {
    ASSERT_FALSE(second.result.timed_out);
    EXPECT_EQ(second.result.exit_status, 255);
    EXPECT_EQ(second.result.err,
              device + " is in use by another program.\nCould not open " + device + " for read/write.\n");
    // It got as far as its banner and menu, and no further: no camera
    // search, no closing notice.
    EXPECT_NE(second.result.out.find("COMMANDS:"), std::string::npos);
    EXPECT_EQ(second.result.out.find("Camera not found"), std::string::npos);
    EXPECT_EQ(second.result.out.find("Look at my"), std::string::npos);
    EXPECT_EQ(second.bytes_after, second.bytes_before) << "the second program sent bytes to the camera";
    EXPECT_TRUE(same_settings(second.held, second.after));
}

TEST(line_lock_e2e, a_second_program_on_a_port_in_use_fails_at_once_and_the_first_carries_on) {
    sim::camera_sim sim(sim::camera_with_pictures(2, true));
    scratch_dir dir;
    const termios before = sim.line_settings();
    second_run second;
    const program_result first =
        first_with_second_meanwhile(sim, dir, sim.device_path(), sim.device_path(), "d\nq\n", second);
    expect_refused(second, sim.device_path());

    ASSERT_FALSE(first.timed_out);
    EXPECT_EQ(first.exit_status, 0) << first.out << first.err;
    EXPECT_NE(first.out.find("\nPicture 2 saved as dc_002.dc2"), std::string::npos) << first.out;
    EXPECT_TRUE(first.out.ends_with(CLOSING_NOTICE));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"dc_001.dc2", "dc_002.dc2"}));
    const auto camera = sim.camera();
    EXPECT_EQ(read_file(dir / "dc_001.dc2"), sim::picture_data(camera.pictures[0]));
    EXPECT_EQ(read_file(dir / "dc_002.dc2"), sim::picture_data(camera.pictures[1]));
    EXPECT_EQ(sim.camera_speed(), 9600);
    EXPECT_TRUE(same_settings(sim.line_settings(), before));
}

TEST(line_lock_e2e, another_name_for_the_same_device_is_refused_too) {
    // Adapters are often reached through a link (/dev/serial/by-id/...);
    // the lock is on the device, not on the name.
    sim::camera_sim sim(sim::camera_with_pictures(1));
    scratch_dir dir;
    const std::string link = (dir / "camera-port").string();
    ASSERT_EQ(symlink(sim.device_path().c_str(), link.c_str()), 0);
    second_run second;
    const program_result first = first_with_second_meanwhile(sim, dir, sim.device_path(), link, "q\n", second);
    expect_refused(second, link);
    ASSERT_FALSE(first.timed_out);
    EXPECT_EQ(first.exit_status, 0) << first.err;
}

TEST(line_lock_e2e, a_run_after_one_killed_outright_starts_normally) {
    // A run killed outright restores nothing: the terminal keeps the working
    // settings, which a pseudo-terminal cannot hold whole, and whatever the
    // camera sent that nobody read (the rest of a block, when the kill came
    // mid-transfer). The next run must see neither as a problem, nor the
    // bytes as the camera's answers.
    sim::camera_sim sim(sim::camera_with_pictures(1));
    scratch_dir dir;
    program_run killed = lumicord_run({"-C" + sim.device_path()}, "", dir.path().string());
    killed.close_input = false;
    killed.signal_when = AT_PROMPT;
    killed.signal_number = SIGKILL;
    const program_result first = run_program(killed);
    ASSERT_EQ(first.killed_by, SIGKILL) << first.out;
    const std::vector<std::uint8_t> block = sim::picture_data(sim.camera().pictures[0]);
    sim.send_unasked(std::vector<std::uint8_t>(block.begin(), block.begin() + 1025));

    const program_result next = run_program(lumicord_run({"-C" + sim.device_path()}, "s\nq\n", dir.path().string()));
    ASSERT_FALSE(next.timed_out);
    EXPECT_EQ(next.exit_status, 0) << next.out;
    EXPECT_EQ(next.err, "");
    EXPECT_NE(next.out.find(" 1 photos taken \n15 photos free" + PROMPT + "\nDC20 camera with 9600 baud at "),
              std::string::npos)
        << next.out;
    EXPECT_TRUE(next.out.ends_with(CLOSING_NOTICE));
}

}  // namespace
}  // namespace lumicord::testing

// Interrupt and termination of the running lumicord binary: the transfer in
// progress stops at a byte or block boundary, a half-written picture file
// is removed, the camera is sent back to 9600, the device gets its own
// settings back, and the process ends by the signal itself, so that a
// calling shell or script sees it was stopped.
#include <gtest/gtest.h>
#include <termios.h>

#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/front_session.h"
#include "tests/support/line_settings.h"
#include "tests/support/linked_camera.h"
#include "tests/support/path_search.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::testing {
namespace {

const std::vector<std::uint8_t> INIT_9600 = {0x41, 0x00, 0x96, 0x00, 0x00, 0x00, 0x00, 0x1A};
const std::string STATUS_END = " photos free";

program_run session_at(const sim::camera_sim& sim, const scratch_dir& dir, std::string keys, long baud) {
    return session(sim, dir.path(), std::move(keys), {"-B" + std::to_string(baud)});
}

// The last eight bytes the camera heard, and whether all came at speed.
struct log_tail {
    std::vector<std::uint8_t> bytes;
    bool all_at_speed = true;
};
log_tail last_command_bytes(const sim::camera_sim& sim, long speed) {
    const auto log = sim.received();
    log_tail tail;
    const std::size_t from = log.size() >= 8 ? log.size() - 8 : 0;
    for (std::size_t i = from; i < log.size(); ++i) {
        tail.bytes.push_back(log[i].value);
        tail.all_at_speed = tail.all_at_speed && log[i].line_speed == speed && log[i].heard;
    }
    return tail;
}

// The marker of a run in the middle of picture 2: picture 1 saved and ten
// dots of the second (its even blocks 2 to 20 are in the file).
const std::string IN_PICTURE_2 = "\nPicture 1 saved as dc_001.dc2\n" + dots(10);

void expect_interrupted_in_picture_2(const program_result& r, const scratch_dir& dir, const sim::camera_sim& sim,
                                     const termios& before, long baud, int signal_number) {
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(r.killed_by, signal_number) << r.out << r.err;
    // The message continues the line of dots; nothing comes between it and
    // the closing notice, and picture 2 is never reported saved.
    const std::size_t at = r.out.find(IN_PICTURE_2);
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string tail = r.out.substr(at + IN_PICTURE_2.size());
    const std::size_t more_dots = tail.find_first_not_of('.');
    EXPECT_EQ(tail.substr(more_dots), "  User Break!" + CLOSING_NOTICE);
    EXPECT_LT(more_dots, 30u) << "picture 2 got all its dots";

    // The half-written picture 2 is gone, picture 1 is as the camera holds it.
    EXPECT_EQ(dir.names(), std::vector<std::string>{"dc_001.dc2"});
    EXPECT_EQ(read_file(dir / "dc_001.dc2"), sim::picture_data(sim.camera().pictures[0]));

    // The last the camera heard is the call back to 9600, at the working
    // speed, and it went there.
    const log_tail last = last_command_bytes(sim, baud);
    EXPECT_EQ(hex(last.bytes), hex(INIT_9600));
    EXPECT_TRUE(last.all_at_speed);
    EXPECT_EQ(sim.camera_speed(), 9600);
    EXPECT_TRUE(same_settings(sim.line_settings(), before));
}

TEST(interrupt_e2e, ctrl_c_while_a_picture_streams_in_stops_it_and_cleans_up) {
    // Paced at the line's real rate, so picture 2 is still arriving (about
    // four seconds of it) when the signal lands.
    sim::pacing_config pacing;
    pacing.paced = true;
    sim::camera_sim sim(sim::camera_with_pictures(3, true), {}, pacing);
    scratch_dir dir;
    const termios before = sim.line_settings();
    program_run run = session_at(sim, dir, "d\n", 115200);
    run.signal_when = IN_PICTURE_2;
    run.signal_number = SIGINT;
    const program_result r = run_program(run);
    expect_interrupted_in_picture_2(r, dir, sim, before, 115200, SIGINT);
}

TEST(interrupt_e2e, termination_while_the_camera_is_silent_mid_picture_ends_the_wait) {
    // Block 21 of picture 2 stops after 100 bytes, every time it is asked
    // for: without the signal the host would wait out five timeouts and
    // report a bad packet instead.
    sim::fault_config faults;
    faults.fault_opcode = 0x51;
    faults.cut_block = 61 + 22;
    faults.cut_after = 100;
    faults.cut_block_attempts = 5;
    sim::camera_sim sim(sim::camera_with_pictures(2, true), faults);
    scratch_dir dir;
    const termios before = sim.line_settings();
    program_run run = session_at(sim, dir, "d\n", 57600);
    run.signal_when = IN_PICTURE_2;
    run.signal_number = SIGTERM;
    const program_result r = run_program(run);
    expect_interrupted_in_picture_2(r, dir, sim, before, 57600, SIGTERM);
}

class signal_at_prompt : public ::testing::TestWithParam<int> {};

TEST_P(signal_at_prompt, says_goodbye_at_once_with_the_signal_in_the_status) {
    const int signal_number = GetParam();
    sim::camera_sim sim(sim::camera_with_pictures(1));
    scratch_dir dir;
    const termios before = sim.line_settings();
    program_run run = session_at(sim, dir, "", 38400);
    run.close_input = false;  // the program waits at the prompt for a key that never comes
    run.signal_when = STATUS_END + PROMPT;
    run.signal_number = signal_number;
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(r.killed_by, signal_number) << r.err;
    const std::size_t at = r.out.find(STATUS_END + PROMPT);
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(at + STATUS_END.size()), PROMPT + CLOSING_NOTICE);

    // After the start-up's status exchange the camera hears only the call
    // back to 9600, at the working speed.
    const auto commands = sim.commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2].bytes[0], 0x7F);
    EXPECT_EQ(hex(commands.back().bytes), hex(INIT_9600));
    EXPECT_EQ(commands.back().line_speed, 38400);
    EXPECT_EQ(sim.camera_speed(), 9600);
    EXPECT_TRUE(same_settings(sim.line_settings(), before));
    EXPECT_TRUE(dir.names().empty());
}

INSTANTIATE_TEST_SUITE_P(interrupt_e2e, signal_at_prompt, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return signal_name(info.param); });

TEST(interrupt_e2e, a_second_signal_while_saying_goodbye_restores_the_device_and_ends_at_once) {
    // The first signal stops picture 2 in mid-stream; the goodbye then lets
    // the rest of the block arrive and waits for the line to fall silent.
    // The second signal lands in that wait (the message it answers is shown
    // only once the goodbye has begun) and ends the program there.
    sim::pacing_config pacing;
    pacing.paced = true;
    sim::camera_sim sim(sim::camera_with_pictures(2, true), {}, pacing);
    scratch_dir dir;
    const termios before = sim.line_settings();
    program_run run = session_at(sim, dir, "d\n", 115200);
    run.signal_when = IN_PICTURE_2;
    run.signal_number = SIGINT;
    run.marker = "  User Break!";
    run.at_marker = [](int pid) { kill(pid, SIGINT); };
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(r.killed_by, SIGINT) << r.err;
    EXPECT_EQ(r.out.find("Look at my"), std::string::npos) << r.out;
    EXPECT_EQ(dir.names(), std::vector<std::string>{"dc_001.dc2"});
    EXPECT_TRUE(same_settings(sim.line_settings(), before));
    // No call back to 9600 went out: the camera still runs at 115200.
    EXPECT_EQ(sim.commands().back().bytes[0], 0x51);
    EXPECT_EQ(sim.camera_speed(), 115200);
}

TEST(interrupt_e2e, a_signal_in_video_mode_deletes_the_frame_being_fetched) {
    sim::pacing_config pacing;
    pacing.paced = true;
    sim::camera_config camera = sim::camera_with_pictures(0, true);
    sim::camera_sim sim(camera, {}, pacing);
    scratch_dir dir;
    const termios before = sim.line_settings();
    program_run run = lumicord_run({"-C" + sim.device_path(), "-B115200", "-V3"}, "", dir.path().string());
    // Frame 2 in mid-download.
    run.signal_when = "\nPicture 1 saved as dc_001.dc2\n" + dots(10);
    run.signal_number = SIGHUP;
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(r.killed_by, SIGHUP) << r.err;
    EXPECT_NE(r.out.find("  User Break!" + CLOSING_NOTICE), std::string::npos) << r.out;
    EXPECT_EQ(dir.names(), std::vector<std::string>{"dc_001.dc2"});
    EXPECT_EQ(sim.camera_speed(), 9600);
    EXPECT_TRUE(same_settings(sim.line_settings(), before));
    const log_tail last = last_command_bytes(sim, 115200);
    EXPECT_EQ(hex(last.bytes), hex(INIT_9600));
    EXPECT_TRUE(last.all_at_speed);
}

TEST(interrupt_e2e, a_reader_that_goes_away_stops_the_program_as_a_signal_does) {
    // head takes the first line of the start-up text and leaves; the next
    // output after "s" then meets a broken pipe while the camera runs at
    // 38400.
    const std::optional<std::string> bash = find_tool("bash");
    if (!bash) GTEST_SKIP() << "bash is not installed";
    sim::camera_sim sim(sim::camera_with_pictures(1));
    scratch_dir dir;
    const termios before = sim.line_settings();
    program_run run;
    run.binary = *bash;
    // exec, so that the wait status seen here is the program's own.
    run.args = {"-c", "exec \"$0\" -C\"$1\" -B38400 > >(head -n 1 >/dev/null)", lumicord_binary(), sim.device_path()};
    run.input = "s\ns\ns\n";
    run.cwd = dir.path().string();
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out) << r.err;
    EXPECT_EQ(r.killed_by, SIGPIPE) << r.err;
    const auto commands = sim.commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(hex(commands.back().bytes), hex(INIT_9600));
    EXPECT_EQ(commands.back().line_speed, 38400);
    EXPECT_EQ(sim.camera_speed(), 9600);
    EXPECT_TRUE(same_settings(sim.line_settings(), before));
}

TEST(interrupt_e2e, a_hangup_ignored_at_start_stays_ignored) {
    // Started under nohup, a closed terminal must not stop a long capture.
    const std::optional<std::string> nohup = find_tool("nohup");
    if (!nohup) GTEST_SKIP() << "nohup is not installed";
    sim::camera_sim sim(sim::camera_with_pictures(1));
    scratch_dir dir;
    program_run run = session_at(sim, dir, "", 38400);
    run.args.insert(run.args.begin(), run.binary);
    run.binary = *nohup;
    run.marker = STATUS_END + PROMPT;
    run.at_marker = [](int pid) { kill(pid, SIGHUP); };
    run.input_at_marker = "s\n";
    const program_result r = run_program(run);
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(r.exit_status, 0) << r.err;
    // The key typed after the hangup still ran.
    EXPECT_NE(r.out.find("DC20 camera with 38400 baud at " + sim.device_path() + " detected."), std::string::npos)
        << r.out;
    EXPECT_TRUE(r.out.ends_with(PROMPT + CLOSING_NOTICE)) << r.out;
}

}  // namespace
}  // namespace lumicord::testing

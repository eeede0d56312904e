// The built lumicord against the simulated camera on a pseudo-terminal:
// start-up, the first status lines and the way out.
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/console_text.h"
#include "tests/support/front_session.h"
#include "tests/support/line_settings.h"
#include "tests/support/linked_camera.h"
#include "tests/support/port_texts.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::testing {
namespace {

const std::string INIT_9600 = "41 00 96 00 00 00 00 1A";

std::vector<std::string> commands_heard(sim::camera_sim& sim) {
    sim.settle();
    std::vector<std::string> lines;
    for (const auto& c : sim.commands()) lines.push_back(std::to_string(c.line_speed) + ": " + hex(c.bytes));
    return lines;
}

void expect_everything_at_9600(sim::camera_sim& sim) {
    sim.settle();
    const auto log = sim.received();
    ASSERT_FALSE(log.empty());
    for (const auto& b : log) {
        EXPECT_EQ(b.line_speed, 9600);
        EXPECT_TRUE(b.heard);
    }
    for (const auto& c : sim.commands()) {
        if (c.bytes[0] != 0x41) continue;
        EXPECT_EQ(hex(c.bytes), INIT_9600);
    }
    EXPECT_EQ(sim.camera_speed(), 9600);
}

program_result run_against(sim::camera_sim& sim, std::vector<std::string> args, const std::string& input,
                           const scratch_dir& dir) {
    args.insert(args.begin(), "-C" + sim.device_path());
    return run_program(lumicord_run(std::move(args), input, dir.path().string()));
}

TEST(startup_e2e_test, start_and_quit_prints_banner_menu_and_status_exactly) {
    scratch_dir dir;
    const sim::camera_config camera = sim::camera_with_pictures(3);
    sim::camera_sim sim(camera);
    const termios before = sim.line_settings();
    const program_result r = run_against(sim, {}, "q\n", dir);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, banner_text(9600) + menu_text() + status_text(false, true, 3, camera.pictures_free) + "\n: " +
                         closing_notice());
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(commands_heard(sim), (std::vector<std::string>{
                                       "9600: " + INIT_9600, "9600: " + INIT_9600, "9600: " + INIT_9600,  // connect
                                       "9600: " + INIT_9600, "9600: 7F 00 00 00 00 00 00 1A",             // status
                                       "9600: " + INIT_9600,                                              // goodbye
                                   }));
    // The device is left as the program found it.
    EXPECT_TRUE(same_settings(before, sim.line_settings()));
}

TEST(startup_e2e_test, a_dc25_at_115200_runs_there_and_returns_to_9600) {
    scratch_dir dir;
    const sim::camera_config camera = sim::camera_with_pictures(2, true, 0x25);
    sim::camera_sim sim(camera);
    const program_result r = run_against(sim, {"-B115200"}, "Q\n", dir);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, banner_text(115200) + menu_text() + status_text(true, true, 2, camera.pictures_free) + "\n: " +
                         closing_notice());
    EXPECT_EQ(r.err, "");
    const std::string init_115200 = "41 00 11 52 00 00 00 1A";
    EXPECT_EQ(commands_heard(sim), (std::vector<std::string>{
                                       "9600: " + INIT_9600, "9600: " + init_115200, "115200: " + init_115200,
                                       "115200: " + init_115200, "115200: 7F 00 00 00 00 00 00 1A",
                                       "115200: " + INIT_9600,
                                   }));
    EXPECT_EQ(sim.camera_speed(), 9600);
}

TEST(startup_e2e_test, video_mode_shows_no_menu) {
    scratch_dir dir;
    const sim::camera_config camera = sim::camera_with_pictures(1);
    sim::camera_sim sim(camera);
    // A camera holding a picture ends video mode before it starts.
    const program_result r = run_against(sim, {"-V2"}, "", dir);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, banner_text(9600) + status_text(false, true, 1, camera.pictures_free) +
                         "\n\nThe camera memory isn't empty - Erase it and start again!" + closing_notice());
}

// A value written as a separate word is not seen: the figure is 0.
TEST(startup_e2e_test, unsupported_baud_figure_is_shown_but_the_line_stays_at_9600) {
    const struct {
        std::vector<std::string> args;
        long figure;
    } cases[] = {{{"-B300"}, 300}, {{"-B", "19200"}, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.figure);
        scratch_dir dir;
        sim::camera_sim sim(sim::camera_with_pictures(0));
        const program_result r = run_against(sim, c.args, "s\nq\n", dir);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_TRUE(r.out.starts_with(banner_text(c.figure))) << r.out;
        EXPECT_NE(r.out.find(model_line("DC20", c.figure, sim.device_path())), std::string::npos) << r.out;
        expect_everything_at_9600(sim);
    }
}

TEST(startup_e2e_test, a_device_path_longer_than_128_bytes_is_used_and_shown_whole) {
    scratch_dir dir;
    sim::camera_sim sim(sim::camera_with_pictures(0));
    const std::filesystem::path link = dir / ("camera-" + std::string(150, 'l'));
    std::filesystem::create_symlink(sim.device_path(), link);
    ASSERT_GT(link.string().size(), 128u);
    const program_result r = run_program(lumicord_run({"-C" + link.string(), "-B57600"}, "s\nq\n", dir.path().string()));
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_NE(r.out.find(model_line("DC20", 57600, link.string())), std::string::npos) << r.out;
    EXPECT_EQ(sim.camera_speed(), 9600);
}

TEST(startup_e2e_test, a_device_that_cannot_be_opened_ends_without_the_closing_notice) {
    scratch_dir dir;
    const std::string path = (dir / "x" / "y").string();
    const program_result r = run_program(lumicord_run({"-C" + path}, "q\n", dir.path().string()));
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.out, banner_text(9600) + menu_text());
    EXPECT_EQ(r.err, std::string("open: ") + std::strerror(ENOENT) + "\nCould not open " + path +
                         " for read/write.\n" + ports_hint(path));
}

TEST(startup_e2e_test, a_device_that_is_no_terminal_ends_without_the_closing_notice) {
    scratch_dir dir;
    dir.touch("plain");
    const std::string path = (dir / "plain").string();
    const program_result r = run_program(lumicord_run({"-C" + path, "-V"}, "", dir.path().string()));
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.out, banner_text(9600));
    EXPECT_EQ(r.err, std::string("tcsetattr: ") + std::strerror(ENOTTY) + "\nCould not init " + path +
                         " for camera access.\n");
}

TEST(startup_e2e_test, a_failed_first_status_exchange_is_reported_and_ends_with_minus_one) {
    scratch_dir dir;
    sim::fault_config faults;
    faults.bad_block = 1;
    faults.bad_block_attempts = 5;
    sim::camera_sim sim(sim::camera_with_pictures(2), faults);
    const program_result r = run_against(sim, {"-B19200"}, "q\n", dir);
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.out, banner_text(19200) + menu_text() + "  Wrong data packet received!" + closing_notice());
    // The goodbye still sends the camera home.
    EXPECT_EQ(commands_heard(sim).back(), "19200: " + INIT_9600);
    EXPECT_EQ(sim.camera_speed(), 9600);
}

TEST(startup_e2e_test, a_missing_completion_byte_in_the_first_status_exchange_ends_it) {
    scratch_dir dir;
    sim::fault_config faults;
    faults.no_completion = true;
    sim::camera_sim sim(sim::camera_with_pictures(2), faults);
    const program_result r = run_against(sim, {}, "q\n", dir);
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.out, banner_text(9600) + menu_text() + "  No data received!" + closing_notice());
}

// --help is -h in its long form and --version prints one line; neither
// opens the device, wherever -C names it, nor touches a file.
TEST(startup_e2e_test, help_and_version_leave_device_and_files_alone) {
    scratch_dir dir;
    dir.touch("pixforge.cmd", "-x5 -a\n");
    sim::camera_sim sim(sim::camera_with_pictures(1));
    const termios before = sim.line_settings();
    const std::string device = "-C" + sim.device_path();
    const std::string work = dir.path().string();
    const struct {
        std::vector<std::string> long_form, short_form;
        std::string out;
    } cases[] = {
        {{"--help", device, "-B19200"}, {"-h", device, "-B19200"}, banner_text(19200) + closing_notice()},
        {{device, "-B19200", "--help", "-N5"}, {device, "-B19200", "-H", "-N5"}, banner_text(9600) + closing_notice()},
        {{"--version", device}, {}, version_line()},
        {{device, "-B115200", "--version"}, {}, version_line()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.long_form[0] + " " + c.long_form[1]);
        const program_result r = run_program(lumicord_run(c.long_form, "q\n", work));
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
        if (c.short_form.empty()) continue;
        const program_result letter = run_program(lumicord_run(c.short_form, "q\n", work));
        EXPECT_EQ(letter.exit_status, 0);
        EXPECT_EQ(r.out, letter.out);
    }
    sim.settle();
    EXPECT_TRUE(sim.received().empty());
    EXPECT_TRUE(same_settings(before, sim.line_settings()));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"pixforge.cmd"});
    const std::vector<unsigned char> kept = read_file(dir / "pixforge.cmd");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "-x5 -a\n");
    // The line names the version the banner shows.
    EXPECT_TRUE(std::string(front::VERSION_TEXT).starts_with("Version " + std::string(front::VERSION_NUMBER) + " ("));
}

// The separate word is still ignored; the hint about it goes to standard
// error, first of all, once per word, and standard output and what the
// camera hears are what they are without the word.
TEST(startup_e2e_test, a_value_in_a_word_of_its_own_is_hinted_at_on_standard_error_only) {
    const std::string baud_hint = "lumicord: -B takes its value in the same word: -B19200 (\"19200\" alone is ignored).\n";
    std::string out[2], err[2];
    std::vector<std::string> heard[2];
    // One camera for both runs, so that the device's name is the same.
    sim::camera_sim sim(sim::camera_with_pictures(1));
    for (int with_word = 0; with_word <= 1; ++with_word) {
        scratch_dir dir;
        std::vector<std::string> args{"-B"};
        if (with_word != 0) args.push_back("19200");
        const std::size_t earlier = commands_heard(sim).size();
        const program_result r = run_against(sim, args, "s\nq\n", dir);
        EXPECT_EQ(r.exit_status, 0);
        out[with_word] = r.out;
        err[with_word] = r.err;
        const std::vector<std::string> all = commands_heard(sim);
        heard[with_word].assign(all.begin() + static_cast<long>(earlier), all.end());
    }
    ASSERT_FALSE(heard[0].empty());
    EXPECT_EQ(out[1], out[0]);
    EXPECT_EQ(heard[1], heard[0]);
    EXPECT_EQ(err[0], "");
    EXPECT_TRUE(err[1].starts_with(baud_hint)) << err[1];
    EXPECT_EQ(err[1], baud_hint);

    // Before a help banner too, one line per such word and nothing else.
    scratch_dir dir;
    const program_result words =
        run_program(lumicord_run({"-C", "/dev/ttyUSB0", "-N", "7", "-h", "-B", "word"}, "", dir.path().string()));
    const program_result none = run_program(lumicord_run({"-C", "-N", "-h", "-B"}, "", dir.path().string()));
    EXPECT_EQ(words.exit_status, 0);
    EXPECT_EQ(words.out, none.out);
    EXPECT_EQ(words.out, banner_text(0) + closing_notice());
    EXPECT_EQ(none.err, "");
    EXPECT_EQ(words.err,
              "lumicord: -C takes its value in the same word: -C/dev/ttyUSB0 (\"/dev/ttyUSB0\" alone is ignored).\n"
              "lumicord: -N takes its value in the same word: -N7 (\"7\" alone is ignored).\n"
              "lumicord: -B takes its value in the same word, as a number (\"word\" alone is ignored).\n");
}

}  // namespace
}  // namespace lumicord::testing

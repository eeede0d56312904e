// The built lumicord against a camera that does not answer: every one of
// the connection's tries waits out the line's 1.5 s timeout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/console_text.h"
#include "tests/support/front_session.h"
#include "tests/support/linked_camera.h"
#include "tests/support/port_texts.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::testing {
namespace {

const std::string INIT_9600 = "41 00 96 00 00 00 00 1A";
const std::string INIT_38400 = "41 00 38 40 00 00 00 1A";

// The bytes received as eight-byte commands, each with the line's speed.
std::vector<std::string> commands_sent(sim::camera_sim& sim) {
    sim.settle();
    const auto log = sim.received();
    std::vector<std::string> lines;
    for (std::size_t i = 0; i + 8 <= log.size(); i += 8) {
        std::vector<std::uint8_t> bytes;
        for (std::size_t j = i; j < i + 8; ++j) bytes.push_back(log[j].value);
        lines.push_back(std::to_string(log[i].line_speed) + ": " + hex(bytes));
    }
    EXPECT_EQ(log.size() % 8, 0u);
    return lines;
}

std::string not_found_text(const std::string& device) {
    return "\nCamera not found at " + device + "!\nCheck the -C option and if camera is ON." + closing_notice();
}

TEST(startup_slow_test, a_silent_camera_is_not_found) {
    const std::string init_115200 = "41 00 11 52 00 00 00 1A";
    struct silent_case {
        long baud;
        std::vector<std::string> commands;
    };
    const silent_case cases[] = {
        // Three tries, then the goodbye's one.
        {9600, std::vector<std::string>(4, "9600: " + INIT_9600)},
        // Three tries at 9600, two at the working speed in case the camera
        // was left there, and the goodbye's one: it never answered, so no
        // more.
        {115200,
         {"9600: " + INIT_9600, "9600: " + INIT_9600, "9600: " + INIT_9600, "115200: " + init_115200,
          "115200: " + init_115200, "9600: " + INIT_9600}},
    };
    for (const silent_case& c : cases) {
        SCOPED_TRACE(c.baud);
        scratch_dir dir;
        sim::camera_sim sim(sim::camera_with_pictures(0), silent_from(1));
        const program_result r = run_program(
            lumicord_run({"-C" + sim.device_path(), "-B" + std::to_string(c.baud)}, "q\n", dir.path().string()));
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_EQ(r.out, banner_text(c.baud) + menu_text() + not_found_text(sim.device_path()));
        EXPECT_EQ(r.err, ports_hint(sim.device_path()));
        EXPECT_EQ(commands_sent(sim), c.commands);
        // Each command waits 0.1 s + 1.5 s for an answer that never comes.
        EXPECT_GE(r.seconds, static_cast<double>(c.commands.size()) * 1.6);
    }
}

TEST(startup_slow_test, a_camera_lost_at_the_working_speed_is_not_found_and_still_sent_home) {
    scratch_dir dir;
    sim::fault_config faults;
    // It moves to 38400 on command 2, then answers nothing more.
    faults.silent_from_command = 3;
    sim::camera_sim sim(sim::camera_with_pictures(0), faults);
    const program_result r =
        run_program(lumicord_run({"-C" + sim.device_path(), "-V", "-B38400"}, "", dir.path().string()));
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.out, banner_text(38400) + not_found_text(sim.device_path()));
    EXPECT_EQ(r.err, ports_hint(sim.device_path()));
    EXPECT_EQ(commands_sent(sim), (std::vector<std::string>{
                                      "9600: " + INIT_9600,
                                      "9600: " + INIT_38400,
                                      "38400: " + INIT_38400,
                                      "38400: " + INIT_38400,
                                      "38400: " + INIT_38400,
                                      // It answered before, so going home is tried three times.
                                      "38400: " + INIT_9600,
                                      "38400: " + INIT_9600,
                                      "38400: " + INIT_9600,
                                  }));
}

}  // namespace
}  // namespace lumicord::testing

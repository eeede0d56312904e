// Running the lumicord binary at the keyboard of a simulated camera: the
// program's picture files land in a scratch directory, its output is checked
// piece by piece.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/console_text.h"
#include "tests/support/run_program.h"
#include "tests/support/text_lines.h"

namespace lumicord::testing {

// The texts every session shows, as the console helpers spell them.
inline const std::string CLOSING_NOTICE = closing_notice();
inline const std::string PROMPT = "\n: ";
inline const std::string MENU = menu_text();

// lumicord on the simulator's device, working in dir, with keys as its
// standard input (closed afterwards) and any further arguments.
inline program_run session(const sim::camera_sim& sim, const std::filesystem::path& dir, std::string keys,
                           std::vector<std::string> args = {}) {
    args.insert(args.begin(), "-C" + sim.device_path());
    return lumicord_run(std::move(args), std::move(keys), dir.string());
}

// An empty camera whose snap's done byte comes just after the program's
// 1.5 s drain, which it must outlast, to keep the video tests quick.
inline sim::camera_config empty_camera() {
    sim::camera_config camera;
    camera.snap_delay_ms = 1600;
    return camera;
}

// In a session that downloads high-resolution pictures with "D": block 1 is
// the start-up status; "D" and each picture's download begin with a status
// block too, so the second picture's blocks follow the first one's 122 and
// three status blocks.
inline constexpr int SECOND_PICTURE_FIRST_BLOCK = 1 + 1 + 1 + 122 + 1 + 1;

// What the program printed after the status lines of its start-up.
inline std::string after_startup(const std::string& out) {
    const std::string marker = " photos free";
    const std::size_t at = out.find(marker);
    if (at == std::string::npos) return "<no start-up status in output>" + out;
    return out.substr(at + marker.size());
}

// The status lines of show_status(false).
inline std::string status_lines(int taken, int free, bool low_res = false, bool battery_good = true) {
    return status_text(low_res, battery_good, taken, free);
}

inline std::string dots(int count) { return std::string(static_cast<std::size_t>(count), '.'); }

// One saved picture as a download prints it: newline, progress dots, notice.
inline std::string saved_picture(int picture, const std::string& name, bool low_res = false) {
    // Appended piece by piece: g++ 12 at -O3 takes "\n" + std::string&& for
    // an overlapping copy (-Wrestrict) and a release build stops there.
    std::string text = "\n";
    text += dots(low_res ? 30 : 60);
    text += "\nPicture " + std::to_string(picture) + " saved as " + name;
    return text;
}

inline std::vector<unsigned char> picture_bytes(const sim::stored_picture& picture) {
    const std::vector<std::uint8_t> data = sim::picture_data(picture);
    return {data.begin(), data.end()};
}

}  // namespace lumicord::testing

#include "front/video_mode.h"

#include <cstdio>

#include "files/numbering.h"
#include "front/console.h"
#include "front/goodbye.h"
#include "front/line_return.h"
#include "front/options.h"
#include "front/saving.h"
#include "link/camera.h"

namespace lumicord::front {

namespace {

constexpr int VIDEO_SEARCH_TOP = 999;
constexpr long FIRST_WIDE_NUMBER = 1000;

// After a lost line came back: whether the camera holds the picture of the
// step that was cut off. The line may go again while it is asked.
bool camera_holds_a_picture() {
    for (;;) {
        const int result = camlink::query_status();
        goodbye_if_interrupted();
        if (bring_line_back()) continue;
        if (result != camlink::RES_OK) {
            report_result(result);
            say_goodbye(1);
        }
        return camlink::camera_state.pictures_taken != 0;
    }
}

// Takes a picture. A failed snap is reported, but the camera may still
// have taken it; when the line went away, the camera is asked.
void take_picture() {
    for (;;) {
        const int result = camlink::snap_picture();
        if (result != camlink::RES_OK) report_result(result);
        goodbye_if_interrupted();
        if (!bring_line_back() || camera_holds_a_picture()) return;
    }
}

// Downloads the picture into its file; a download cut off by a lost line is
// made again into the same file number once the line is back.
bool save_video_picture(long number, int shown_number) {
    for (;;) {
        const bool saved = save_picture(1, number, shown_number);
        goodbye_if_interrupted();
        if (saved || !bring_line_back()) return saved;
    }
}

// Erases the camera memory, and again when a lost line cut the erase off
// before it was done.
int erase_picture() {
    for (;;) {
        const int result = camlink::erase_memory();
        if (result != camlink::RES_OK) report_result(result);
        goodbye_if_interrupted();
        if (!bring_line_back()) return result;
        if (!camera_holds_a_picture()) return camlink::RES_OK;
    }
}

}  // namespace

void run_video_mode() {
    if (camlink::camera_state.pictures_taken != 0) {
        std::fputs("\n\nThe camera memory isn't empty - Erase it and start again!", stdout);
        say_goodbye(1);
    }
    // Only .dc2 files count here, whatever -N says.
    long number = files::find_last_number(VIDEO_SEARCH_TOP, false) + 1;
    for (int saved = 0; saved < options.video_count;) {
        take_picture();
        if (number == FIRST_WIDE_NUMBER) std::fputs("\nNo free filename found!", stdout);
        // Nothing is erased after a picture that could not be saved: what
        // the camera holds stays there, and the next run refuses to start
        // until the memory is erased.
        if (!save_video_picture(number, saved + 1)) say_goodbye(1);
        ++saved;
        if (erase_picture() != camlink::RES_OK) say_goodbye(1);
        ++number;
    }
    say_goodbye(0);
}

}  // namespace lumicord::front

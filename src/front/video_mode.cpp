#include "front/video_mode.h"

#include <cstdio>

#include "files/numbering.h"
#include "front/console.h"
#include "front/goodbye.h"
#include "front/options.h"
#include "front/saving.h"
#include "link/camera.h"

namespace lumicord::front {

namespace {
constexpr int VIDEO_SEARCH_TOP = 999;
constexpr long FIRST_WIDE_NUMBER = 1000;
}  // namespace

void run_video_mode() {
    if (camlink::camera_state.pictures_taken != 0) {
        std::fputs("\n\nThe camera memory isn't empty - Erase it and start again!", stdout);
        say_goodbye(1);
    }
    // Only .dc2 files count here, whatever -N says.
    long number = files::find_last_number(VIDEO_SEARCH_TOP, false) + 1;
    for (int saved = 0; saved < options.video_count;) {
        int result = camlink::snap_picture();
        // A failed snap is reported, but the camera may still have taken it.
        if (result != camlink::RES_OK) report_result(result);
        goodbye_if_interrupted();
        if (number == FIRST_WIDE_NUMBER) std::fputs("\nNo free filename found!", stdout);
        // Nothing is erased after a picture that could not be saved: what
        // the camera holds stays there, and the next run refuses to start
        // until the memory is erased.
        if (!save_picture(1, number, saved + 1)) say_goodbye(1);
        ++saved;
        result = camlink::erase_memory();
        if (result != camlink::RES_OK) {
            report_result(result);
            say_goodbye(1);
        }
        ++number;
    }
    say_goodbye(0);
}

}  // namespace lumicord::front

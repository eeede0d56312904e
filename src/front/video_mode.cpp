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
constexpr files::picture_number FIRST_WIDE_NUMBER = 1000;

const char* const NOT_EMPTY = "\n\nThe camera memory isn't empty - Erase it and start again!";

// One picture's round: taken, saved into its file, erased from the camera.
enum class step { take, save, erase };

// How a step ended: done, failed (the run ends), or cut off by a lost
// line that is back now, after which the camera decides what comes next.
enum class step_result { done, failed, cut_off };

step_result run_step(step s, files::picture_number number, int shown_number, line_wait& wait) {
    // A failed snap is reported, but the camera may still have taken the
    // picture: the download tells. So only a lost line ends a take early.
    bool ok = true;
    if (s == step::take) {
        const int result = camlink::snap_picture();
        if (result != camlink::RES_OK) report_result(result);
    } else if (s == step::save) {
        ok = save_picture(1, number, shown_number);
    } else {
        const int result = camlink::erase_memory();
        if (result != camlink::RES_OK) report_result(result);
        ok = result == camlink::RES_OK;
    }
    goodbye_if_interrupted();
    if (bring_line_back(wait)) return step_result::cut_off;
    return ok ? step_result::done : step_result::failed;
}

// How many pictures the camera holds once a lost line is back (the line
// may go again while it is asked); -1, said why, when it does not tell.
int pictures_after_return(line_wait& wait) {
    for (;;) {
        const int result = camlink::query_status();
        goodbye_if_interrupted();
        if (bring_line_back(wait)) continue;
        if (result != camlink::RES_OK) {
            report_result(result);
            return -1;
        }
        return camlink::camera_state.pictures_taken;
    }
}

// The camera held nothing when the round began, so one picture is this
// round's. A cut-off erase that left it there is done again; one that left
// nothing got done, and the round is over (false). Before that the picture
// is fetched again into the same file number, or, when there is none (never
// taken, or lost with a camera reset or swapped meanwhile), taken again, so
// that the run still ends with the pictures it was asked for.
bool resume_round(step& s, int pictures) {
    if (s == step::erase) return pictures != 0;
    s = pictures == 0 ? step::take : step::save;
    return true;
}

// Take, save, erase; false when the run ends.
bool run_round(files::picture_number number, int shown, line_wait& wait) {
    bool told_wide = false;
    step s = step::take;
    for (;;) {
        if (s == step::save && number == FIRST_WIDE_NUMBER && !told_wide) {
            std::fputs("\nNo free filename found!", stdout);
            told_wide = true;
        }
        const step_result result = run_step(s, number, shown, wait);
        // Nothing is erased after a picture that could not be saved: what
        // the camera holds stays there, and the next run refuses to start
        // until the memory is erased.
        if (result == step_result::failed) return false;
        if (result == step_result::done) {
            // Something got done: a loss from here on has a minute of its own.
            wait = line_wait{};
            if (s == step::erase) return true;
            s = s == step::take ? step::save : step::erase;
            continue;
        }
        const int pictures = pictures_after_return(wait);
        if (pictures < 0) return false;
        // More than this round's one: not the camera this run emptied.
        if (pictures > 1) {
            std::fputs(NOT_EMPTY, stdout);
            return false;
        }
        if (!resume_round(s, pictures)) return true;
    }
}

// The exit status for a run of video mode: 0 once every picture is saved.
int capture_pictures() {
    if (camlink::camera_state.pictures_taken != 0) {
        std::fputs(NOT_EMPTY, stdout);
        return 1;
    }
    // Only .dc2 files count here, whatever -N says.
    files::picture_number number = files::find_last_number(VIDEO_SEARCH_TOP, false) + 1;
    line_wait wait;
    for (int shown = 1; shown <= options.video_count; ++shown, ++number)
        if (!run_round(number, shown, wait)) return 1;
    return 0;
}

}  // namespace

void run_video_mode() { say_goodbye(capture_pictures()); }

}  // namespace lumicord::front

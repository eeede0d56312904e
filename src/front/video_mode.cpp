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
enum class step { take, save, erase, finished };

// How a step ended: done, failed (the run ends), or cut off by a lost
// line that is back now, after which the camera decides what comes next.
enum class step_result { done, failed, redo };

step_result run_step(step s, files::picture_number number, int shown_number) {
    bool ok = true;
    switch (s) {
        case step::take: {
            // A failed snap is reported, but the camera may still have taken
            // the picture: the download tells.
            const int result = camlink::snap_picture();
            if (result != camlink::RES_OK) report_result(result);
            break;
        }
        case step::save:
            ok = save_picture(1, number, shown_number);
            break;
        case step::erase: {
            const int result = camlink::erase_memory();
            if (result != camlink::RES_OK) report_result(result);
            ok = result == camlink::RES_OK;
            break;
        }
        case step::finished:
            break;
    }
    goodbye_if_interrupted();
    // A saved picture stays saved whatever the line did after it; a loss
    // then shows at the erase.
    if (s == step::save && ok) return step_result::done;
    if (bring_line_back()) return step_result::redo;
    return ok ? step_result::done : step_result::failed;
}

// How many pictures the camera holds once a lost line is back (the line
// may go again while it is asked); -1, said why, when it does not tell.
int pictures_after_return() {
    for (;;) {
        const int result = camlink::query_status();
        goodbye_if_interrupted();
        if (bring_line_back()) continue;
        if (result != camlink::RES_OK) {
            report_result(result);
            return -1;
        }
        return camlink::camera_state.pictures_taken;
    }
}

// Where a round cut off by a lost line goes on. The camera held nothing
// when the round began, so one picture is this round's: saved already, it
// only waits for the erase; not saved, it is fetched again into the same
// file number. No picture means an erase that got done, or a picture never
// taken or lost with a camera reset or swapped meanwhile: that one is
// taken again, so that the run still ends with the pictures it was asked
// for.
step resume_at(bool saved, int pictures) {
    if (saved) return pictures == 0 ? step::finished : step::erase;
    return pictures == 0 ? step::take : step::save;
}

// The exit status for a run of video mode: 0 once every picture is saved.
int capture_pictures() {
    if (camlink::camera_state.pictures_taken != 0) {
        std::fputs(NOT_EMPTY, stdout);
        return 1;
    }
    // Only .dc2 files count here, whatever -N says.
    files::picture_number number = files::find_last_number(VIDEO_SEARCH_TOP, false) + 1;
    for (int shown = 1; shown <= options.video_count; ++shown, ++number) {
        bool saved = false;
        bool told_wide = false;
        for (step s = step::take; s != step::finished;) {
            if (s == step::save && number == FIRST_WIDE_NUMBER && !told_wide) {
                std::fputs("\nNo free filename found!", stdout);
                told_wide = true;
            }
            const step_result result = run_step(s, number, shown);
            // Nothing is erased after a picture that could not be saved:
            // what the camera holds stays there, and the next run refuses to
            // start until the memory is erased.
            if (result == step_result::failed) return 1;
            if (result == step_result::done) {
                saved = saved || s == step::save;
                s = s == step::take ? step::save : s == step::save ? step::erase : step::finished;
                continue;
            }
            const int pictures = pictures_after_return();
            if (pictures < 0) return 1;
            // More than this round's one: not the camera this run emptied.
            if (pictures > 1) {
                std::fputs(NOT_EMPTY, stdout);
                return 1;
            }
            s = resume_at(saved, pictures);
        }
    }
    return 0;
}

}  // namespace

void run_video_mode() { say_goodbye(capture_pictures()); }

}  // namespace lumicord::front

#include "front/video_mode.h"

#include <cstdio>

#include "files/numbering.h"
#include "files/picture_files.h"
#include "front/console.h"
#include "front/download.h"
#include "front/goodbye.h"
#include "front/options.h"
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
        const files::file_name name = files::picture_file_name(number);
        std::FILE* stream = nullptr;
        const files::create_result created = files::create_picture_file(name.data(), stream);
        if (created == files::create_result::exists) {
            std::fputs("  Filename already exists!", stdout);
            say_goodbye(1);
        }
        if (created == files::create_result::failed) {
            std::fputs("  Can't open file!", stdout);
            say_goodbye(1);
        }
        std::putchar('\n');
        result = camlink::fetch_picture(1, stream);
        if (result != camlink::RES_OK) {
            report_result(result);
            std::fclose(stream);
            std::remove(name.data());
            say_goodbye(1);
        }
        if (!finish_picture_file(stream, name.data())) {
            report_result(camlink::RES_SAVE_ERROR);
            say_goodbye(1);
        }
        ++saved;
        std::printf("\nPicture %d saved as %s", saved, name.data());
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

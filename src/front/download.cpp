#include "front/download.h"

#include <cstdio>

#include "files/numbering.h"
#include "files/picture_files.h"
#include "front/console.h"
#include "front/options.h"
#include "link/camera.h"

namespace lumicord::front {

bool finish_picture_file(std::FILE* stream, const char* name) {
    // A full disk often shows only here, when the buffer is written out; an
    // earlier buffer that failed to go out leaves the error flag set.
    const bool flushed = std::fflush(stream) == 0 && std::ferror(stream) == 0;
    const bool closed = std::fclose(stream) == 0;
    if (flushed && closed) return true;
    std::remove(name);
    return false;
}

download_outcome download_pictures(int first, bool single, long& first_new_number) {
    const long last = files::find_last_number(options.search_top, true);
    if (last >= 1 && first_new_number < 0) first_new_number = last + 1;
    const int status = camlink::query_status();
    if (status != camlink::RES_OK) {
        report_result(status);
        return download_outcome::status_failed;
    }
    long number = last + 1;
    for (int p = first; p <= camlink::camera_state.pictures_taken; ++p, ++number) {
        const files::file_name name = files::picture_file_name(number);
        std::FILE* stream = nullptr;
        const files::create_result created = files::create_picture_file(name.data(), stream);
        if (created == files::create_result::exists) {
            std::fputs("  Filename already exists!", stdout);
            return download_outcome::some_failed;
        }
        if (created == files::create_result::failed) {
            std::fputs("  Can't open file!", stdout);
            return download_outcome::some_failed;
        }
        std::putchar('\n');
        int result = camlink::fetch_picture(p, stream);
        if (result != camlink::RES_OK) {
            report_result(result);
            std::fclose(stream);
            std::remove(name.data());
            return download_outcome::some_failed;
        }
        if (!finish_picture_file(stream, name.data())) {
            report_result(camlink::RES_SAVE_ERROR);
            return download_outcome::some_failed;
        }
        std::printf("\nPicture %d saved as %s", p, name.data());
        if (single) break;
    }
    return download_outcome::all_saved;
}

}  // namespace lumicord::front

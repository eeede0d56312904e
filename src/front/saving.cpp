#include "front/saving.h"

#include <cstdio>
#include <utility>

#include "files/picture_files.h"
#include "front/console.h"
#include "link/camera.h"

namespace lumicord::front {

namespace {

// A full disk often shows only here, when the buffer is written out; an
// earlier buffer that failed to go out leaves the error flag set.
bool close_checked(owned_stream& stream) {
    const bool flushed = std::fflush(stream.get()) == 0 && std::ferror(stream.get()) == 0;
    const bool closed = stream.close();
    return flushed && closed;
}

}  // namespace

bool finish_picture_file(owned_stream stream, const char* name) {
    if (close_checked(stream)) return true;
    files::remove_picture_file(name);
    return false;
}

bool save_picture(int picture, files::picture_number file_number, int shown_number) {
    const files::file_name name = files::picture_file_name(file_number);
    files::created_file created = files::create_picture_file(name.data());
    if (created.result == files::create_result::exists) {
        std::fputs("  Filename already exists!", stdout);
        return false;
    }
    if (created.result == files::create_result::failed) {
        std::fputs("  Can't open file!", stdout);
        return false;
    }
    std::putchar('\n');
    int result = camlink::fetch_picture(picture, created.stream.get());
    if (result != camlink::RES_OK) {
        created.stream.close();
        files::remove_picture_file(name.data());
    } else if (!finish_picture_file(std::move(created.stream), name.data())) {
        result = camlink::RES_SAVE_ERROR;
    }
    if (result != camlink::RES_OK) {
        report_result(result);
        return false;
    }
    std::printf("\nPicture %d saved as %s", shown_number, name.data());
    return true;
}

void save_thumbnails() {
    owned_stream stream = files::create_replacement_file(files::THUMBNAIL_FILE_NAME);
    if (!stream) {
        std::fputs("  Can't open file!", stdout);
        return;
    }
    std::putchar('\n');
    int result = camlink::fetch_thumbnails(stream.get());
    if (!close_checked(stream) && result == camlink::RES_OK) result = camlink::RES_SAVE_ERROR;
    if (result != camlink::RES_OK)
        report_result(result);
    else
        std::printf("\nAll thumbnails saved in %s", files::THUMBNAIL_FILE_NAME);
}

}  // namespace lumicord::front

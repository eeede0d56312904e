#include "front/download.h"

#include "files/numbering.h"
#include "front/console.h"
#include "front/options.h"
#include "front/saving.h"
#include "link/camera.h"

namespace lumicord::front {

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
        if (!save_picture(p, number, p)) return download_outcome::some_failed;
        if (single) break;
    }
    return download_outcome::all_saved;
}

}  // namespace lumicord::front

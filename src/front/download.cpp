#include "front/download.h"

#include <climits>
#include <limits>

#include "files/numbering.h"
#include "front/console.h"
#include "front/options.h"
#include "front/saving.h"
#include "link/camera.h"

namespace lumicord::front {

// The highest number found is at most INT_MAX (the search top is an int),
// and a camera holds fewer than 256 pictures: the numbers after it fit.
static_assert(std::numeric_limits<files::picture_number>::max() - INT_MAX >
              std::numeric_limits<decltype(camlink::camera_state.pictures_taken)>::max());

download_outcome download_pictures(int first, bool single, files::picture_number& first_new_number) {
    const files::picture_number last = files::find_last_number(options.search_top, true);
    if (last >= 1 && first_new_number < 0) first_new_number = last + 1;
    const int status = camlink::query_status();
    if (status != camlink::RES_OK) {
        report_result(status);
        return download_outcome::status_failed;
    }
    files::picture_number number = last + 1;
    for (int p = first; p <= camlink::camera_state.pictures_taken; ++p, ++number) {
        if (!save_picture(p, number, p)) return download_outcome::some_failed;
        if (single) break;
    }
    return download_outcome::all_saved;
}

}  // namespace lumicord::front

// The download commands: one picture or all of them into new numbered files.
#pragma once

#include "files/picture_files.h"

namespace lumicord::front {

enum class download_outcome {
    status_failed,  // the camera did not answer the status exchange; nothing tried
    all_saved,      // every picture asked for was saved (possibly none)
    some_failed,    // a download failed, or a file could not be created
};

// Downloads picture first alone (single) or pictures first..last into the
// numbers after the highest picture file in use. first_new_number is set to
// that number the first time a search finds an existing file.
download_outcome download_pictures(int first, bool single, files::picture_number& first_new_number);

}  // namespace lumicord::front

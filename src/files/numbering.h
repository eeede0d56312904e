// Finding the highest picture file number in use.
#pragma once

#include "files/picture_files.h"

namespace lumicord::files {

// The highest k with top >= k >= 1 for which "dc_%03d.dc2" exists (or, with
// include_img, "dc_%03d.img"); 0 when there is none, and 0 without looking
// when top <= 0. Numbers above top are never looked at, and gaps below the
// highest number are never filled. Where the directory cannot be listed, or
// not to its end, the names are tried one by one from top down, at most
// 100,000 of them.
int find_last_number(int top, bool include_img);

// The number a name stands for when it is written exactly as
// "dc_%03d.dc2" (or ".img" with include_img) writes it, else 0: dc_5.dc2 and
// dc_0005.dc2 are not picture 5.
picture_number picture_number_of(const char* name, bool include_img);

}  // namespace lumicord::files

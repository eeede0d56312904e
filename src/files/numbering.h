// Finding the highest picture file number in use.
#pragma once

namespace lumicord::files {

// The highest k with top >= k >= 1 for which "dc_%03d.dc2" exists (or, with
// include_img, "dc_%03d.img"); 0 when there is none, and 0 without looking
// when top <= 0. Numbers above top are never looked at, and gaps below the
// highest number are never filled.
int find_last_number(int top, bool include_img);

// The number a name stands for when it is written exactly as
// "dc_%03d.dc2" (or ".img" with include_img) writes it, else 0: dc_5.dc2 and
// dc_0005.dc2 are not picture 5.
long picture_number_of(const char* name, bool include_img);

}  // namespace lumicord::files

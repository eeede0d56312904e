// The pieces of the numbering search that every system's directory reading
// shares.
#pragma once

#include "files/picture_files.h"

namespace lumicord::files {

// The names tried one by one from top down, at most 100,000 of them: for a
// directory that cannot be listed, or not to its end.
int probe_downwards(int top, bool include_img);

// The picture number a directory entry stands for, or 0 (see numbering.cpp).
picture_number listed_number(const char* entry, bool include_img);

}  // namespace lumicord::files

// The "S" command: camera state and the list of stored pictures.
#pragma once

#include <cstdint>

namespace lumicord::front {

void show_picture_list();

// The shutter speed's denominator for a picture's exposure byte.
int shutter_denominator(std::uint8_t exposure);

}  // namespace lumicord::front

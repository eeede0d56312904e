// Decoding the camera's status block.
#pragma once

#include <cstdint>

#include "link/camera.h"

namespace lumicord::camlink {

// Fills state from a 256-byte status block in either model's layout.
void decode_status(const std::uint8_t* block, camera_state_record& state);

}  // namespace lumicord::camlink

// The camera's stored pictures written out as files, so that a script can
// compare what a program downloaded with what the camera holds, without
// linking the simulator.
#pragma once

#include <string>

#include "sim/camera_data.h"

namespace lumicord::sim {

// The name of stored picture number (counting from 1) inside the directory.
std::string saved_picture_name(int number);

// Writes every stored picture into dir (which must exist) as
// picture-1.raw, picture-2.raw, ... with exactly the bytes the camera sends.
// On failure reports the file with perror and returns false.
bool save_pictures(const camera_config& camera, const std::string& dir);

}  // namespace lumicord::sim

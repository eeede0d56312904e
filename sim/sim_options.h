// The lumicord-sim tool's command line.
#pragma once

#include <string>

#include "sim/camera_sim.h"

namespace lumicord::sim {

struct sim_options {
    camera_config camera;
    fault_config faults;
    pacing_config pacing;
    std::string log_path;
    std::string link_path;  // a symbolic link to the device, for scripts
    std::string save_pictures_dir;  // write the stored pictures here instead of serving
    bool help = false;
    std::string error;      // non-empty when the command line was not understood
};

sim_options parse_sim_options(int argc, char** argv);
void show_sim_usage();

}  // namespace lumicord::sim

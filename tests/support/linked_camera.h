// The program's own camera link talking to a simulated camera through a real
// pseudo-terminal, in the test's process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/camera_sim.h"

namespace lumicord::testing {

// Puts the link's file-scope records back as they are at start-up.
void reset_link_records();

class linked_camera {
public:
    explicit linked_camera(sim::camera_config camera, sim::fault_config faults = {});
    ~linked_camera();
    linked_camera(const linked_camera&) = delete;
    linked_camera& operator=(const linked_camera&) = delete;

    // open_line on the simulator's device, without talking to the camera.
    void open_line(long baud = 9600);
    // camera_connect; returns its result.
    int connect(long baud = 9600);

    sim::camera_sim& sim() { return *sim_; }
    const char* device() const { return sim_->device_path().c_str(); }

    // The commands heard so far (after settling), from index from on.
    std::vector<sim::camera_sim::heard_command> commands_since(std::size_t from);
    // Every byte the camera received from index from on (after settling).
    std::vector<std::uint8_t> bytes_since(std::size_t from);
    std::size_t byte_count();

private:
    std::unique_ptr<sim::camera_sim> sim_;
};

// "41 00 96 00 00 00 00 1A" style, for readable failures.
std::string hex(const std::vector<std::uint8_t>& bytes);

// The bytes the camera heard, in hex a command (eight bytes) each; bytes
// left over at the end make an entry of their own.
std::vector<std::string> commands_in(const std::vector<std::uint8_t>& bytes);

// A camera that answers nothing from its nth command on.
sim::fault_config silent_from(int command);

}  // namespace lumicord::testing

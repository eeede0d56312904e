// A simulated camera behind a fixed name, as /dev/serial/by-id/... is for a
// USB-serial adapter: when its line comes back after a hang-up, on a new
// pseudo-terminal, the name leads there.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "sim/camera_sim.h"
#include "sim/device_link.h"

namespace lumicord::testing {

class unpluggable_camera {
public:
    unpluggable_camera(sim::camera_config camera, sim::fault_config faults, const std::filesystem::path& name,
                       sim::pacing_config pacing = {})
        : sim_(std::move(camera), faults, pacing), name_(name.string()) {
        const std::string failure = link_.make(sim_.device_path(), name_);
        if (!failure.empty()) throw std::runtime_error(failure);
        // Gone while hung up, as an unplugged adapter's names are.
        sim_.on_terminal_change([this](const std::string& path) {
            if (path.empty()) {
                link_.remove();
            } else {
                bytes_at_return_ = sim_.received().size();
                if (on_return_) on_return_(sim_);
                link_.retarget(path);
            }
        });
    }
    unpluggable_camera(const unpluggable_camera&) = delete;
    unpluggable_camera& operator=(const unpluggable_camera&) = delete;

    sim::camera_sim& sim() { return sim_; }
    // The name to give the program with -C.
    const std::string& name() const { return name_; }
    // Called each time the line comes back, before its name leads to the
    // new terminal (so before the program can reach it). Set before the
    // program starts.
    void on_return(std::function<void(sim::camera_sim&)> call) { on_return_ = std::move(call); }
    // How many bytes the camera had received when its line last came back.
    std::size_t bytes_at_return() const { return bytes_at_return_; }

private:
    // These outlive the simulator's thread, which uses them.
    sim::device_link link_;
    std::atomic<std::size_t> bytes_at_return_{0};
    std::function<void(sim::camera_sim&)> on_return_;
    sim::camera_sim sim_;
    std::string name_;
};

}  // namespace lumicord::testing

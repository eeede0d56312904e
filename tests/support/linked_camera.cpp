#include "tests/support/linked_camera.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "link/block.h"
#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"

namespace lumicord::testing {

void reset_link_records() {
    camlink::camera_state = camlink::camera_state_record{};
    camlink::command_table = camlink::INITIAL_COMMANDS;
    camlink::forget_camera_answers();
    camlink::transfer_buffer.fill(0);
    camlink::picture_info_table = camlink::picture_info_array{};
}

linked_camera::linked_camera(sim::camera_config camera, sim::fault_config faults)
    : sim_(std::make_unique<sim::camera_sim>(std::move(camera), faults)) {
    reset_link_records();
}

linked_camera::~linked_camera() { camlink::close_line(); }

void linked_camera::open_line(long baud) { camlink::open_line(device(), baud); }

int linked_camera::connect(long baud) { return camlink::camera_connect(device(), baud); }

std::vector<sim::camera_sim::heard_command> linked_camera::commands_since(std::size_t from) {
    sim_->settle();
    auto all = sim_->commands();
    if (from >= all.size()) return {};
    return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
}

std::vector<std::uint8_t> linked_camera::bytes_since(std::size_t from) {
    sim_->settle();
    std::vector<std::uint8_t> bytes;
    const auto log = sim_->received();
    for (std::size_t i = from; i < log.size(); ++i) bytes.push_back(log[i].value);
    return bytes;
}

std::size_t linked_camera::byte_count() {
    sim_->settle();
    return sim_->received().size();
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char part[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(part, sizeof part, "%02X", b);
        if (!text.empty()) text += ' ';
        text += part;
    }
    return text;
}

std::vector<std::string> commands_in(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::string> commands;
    for (std::size_t i = 0; i < bytes.size(); i += camlink::COMMAND_LENGTH) {
        const std::size_t end = std::min(bytes.size(), i + camlink::COMMAND_LENGTH);
        commands.push_back(hex({bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.begin() + static_cast<std::ptrdiff_t>(end)}));
    }
    return commands;
}

sim::fault_config silent_from(int command) {
    sim::fault_config faults;
    faults.silent_from_command = command;
    return faults;
}

}  // namespace lumicord::testing

// What the serial line itself costs an exchange: every byte's time on the
// wire in both directions, the pause the program makes before each command
// and the camera's thinking time before each answer. No program on this line
// can be faster; how close it comes is the measure of what it adds. A
// USB-serial adapter's latency timer comes on top of that: it is counted
// beside the minimum, not in it.
#pragma once

#include <cstddef>
#include <vector>

#include "sim/camera_sim.h"

namespace lumicord::bench {

// The pause before every command: 13 ticks of a 128 Hz clock.
inline constexpr double COMMAND_PAUSE_SECONDS = 13.0 / 128.0;
inline constexpr std::size_t COMMAND_BYTES = 8;

// A copy of everything the camera has heard and said up to one moment.
struct line_record {
    std::vector<sim::logged_byte> received;
    std::vector<sim::sent_run> sent;
    std::size_t commands = 0;
    double adapter_held_seconds = 0;  // bytes kept back by the adapter's latency timer, in all
};

line_record record_of(const sim::camera_sim& camera);

struct line_budget {
    std::size_t host_bytes = 0;    // host -> camera
    std::size_t camera_bytes = 0;  // camera -> host
    std::size_t commands = 0;
    std::size_t answers = 0;       // exchanges the camera answered after hearing the host
    double wire_seconds = 0;       // both directions
    double pause_seconds = 0;
    double latency_seconds = 0;
    double adapter_seconds = 0;    // what the adapter's timer added (not part of the minimum)
    double total() const { return wire_seconds + pause_seconds + latency_seconds; }
};

// Seconds one character (start, 8 data, parity, stop) takes at baud.
double byte_seconds(long baud);

// The minimum for everything that passed between two records of the same
// camera, the earlier one first.
line_budget budget_between(const line_record& before, const line_record& after, int latency_us);

}  // namespace lumicord::bench

#include "bench/line_budget.h"

#include <chrono>

namespace lumicord::bench {

namespace {

constexpr double BITS_PER_BYTE = 11;

double seconds_of(const std::vector<sim::sent_run>& runs, std::size_t& bytes) {
    double seconds = 0;
    bytes = 0;
    for (const sim::sent_run& run : runs) {
        seconds += static_cast<double>(run.bytes) * byte_seconds(run.line_speed);
        bytes += run.bytes;
    }
    return seconds;
}

}  // namespace

double byte_seconds(long baud) { return BITS_PER_BYTE / static_cast<double>(baud > 0 ? baud : 9600); }

line_record record_of(const sim::camera_sim& camera) {
    line_record r;
    r.received = camera.received();
    r.sent = camera.sent();
    r.commands = camera.commands().size();
    r.adapter_held_seconds = std::chrono::duration<double>(camera.adapter_held()).count();
    return r;
}

line_budget budget_between(const line_record& before, const line_record& after, int latency_us) {
    line_budget b;
    for (std::size_t i = before.received.size(); i < after.received.size(); ++i) {
        b.wire_seconds += byte_seconds(after.received[i].line_speed);
        ++b.host_bytes;
    }
    // The camera's runs only ever grow at the end, so the difference of the
    // totals is what was sent in between.
    std::size_t bytes_before = 0;
    std::size_t bytes_after = 0;
    const double seconds_before = seconds_of(before.sent, bytes_before);
    const double seconds_after = seconds_of(after.sent, bytes_after);
    b.wire_seconds += seconds_after - seconds_before;
    b.camera_bytes = bytes_after - bytes_before;
    b.commands = after.commands - before.commands;
    b.pause_seconds = static_cast<double>(b.commands) * COMMAND_PAUSE_SECONDS;
    // Every command is answered, and so is every lone byte the host sends
    // between them (each block acknowledgement brings the next block or the
    // completion byte).
    const std::size_t command_bytes = b.commands * COMMAND_BYTES;
    b.answers = b.commands + (b.host_bytes > command_bytes ? b.host_bytes - command_bytes : 0);
    b.latency_seconds = static_cast<double>(b.answers) * latency_us * 1e-6;
    b.adapter_seconds = after.adapter_held_seconds - before.adapter_held_seconds;
    return b;
}

}  // namespace lumicord::bench

// Helpers for the tests of the camera operations: a connected camera, the
// bytes of the status exchange every operation opens with, a temporary
// stream to download into, and counting in the camera's log.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/make_pipe.h"
#include "tests/support/linked_camera.h"

namespace lumicord::testing {

// CMD_INIT with 9600's code, CMD_STATUS, and BLOCK_OK for the status block:
// what the camera hears from an operation that stops at its guard.
inline const std::vector<std::uint8_t> STATUS_EXCHANGE = {
    0x41, 0x00, 0x96, 0x00, 0x00, 0x00, 0x00, 0x1A,  // CMD_INIT
    0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1A,  // CMD_STATUS
    0xD2,                                            // BLOCK_OK
};

inline constexpr std::uint8_t OK_BYTE = 0xD2;
inline constexpr std::uint8_t RESEND_BYTE = 0xE3;

// The eight bytes of a command with opcode op and argument bytes 2 and 3.
inline std::vector<std::uint8_t> command_bytes(std::uint8_t op, std::uint8_t arg2 = 0, std::uint8_t arg3 = 0) {
    return {op, 0x00, arg2, arg3, 0x00, 0x00, 0x00, 0x1A};
}

inline std::vector<std::uint8_t> repeated(std::uint8_t byte, std::size_t count) {
    return std::vector<std::uint8_t>(count, byte);
}

// a + b + ... as one byte sequence.
inline std::vector<std::uint8_t> joined(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline std::size_t count_of(const std::vector<std::uint8_t>& bytes, std::uint8_t value) {
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), value));
}

// The program's link connected at 9600 to a simulated camera; start marks
// where the camera's log stood once the connection was made.
struct connected_camera {
    std::unique_ptr<linked_camera> link;
    std::size_t start = 0;

    explicit connected_camera(sim::camera_config camera, sim::fault_config faults = {})
        : link(std::make_unique<linked_camera>(std::move(camera), faults)) {
        EXPECT_EQ(link->connect(9600), 0);
        start = link->byte_count();
        commands_at_start_ = link->commands_since(0).size();
    }
    sim::camera_sim& sim() { return link->sim(); }
    // Everything the camera heard since the connection was made.
    std::vector<std::uint8_t> heard() { return link->bytes_since(start); }
    // The commands heard since the connection was made.
    std::vector<sim::camera_sim::heard_command> commands() {
        return link->commands_since(commands_at_start_);
    }

private:
    std::size_t commands_at_start_ = 0;
};

// A temporary binary file for a download, read back afterwards.
class temp_stream {
public:
    temp_stream() : file_(std::tmpfile()) {}
    ~temp_stream() {
        if (file_ != nullptr) std::fclose(file_);
    }
    temp_stream(const temp_stream&) = delete;
    temp_stream& operator=(const temp_stream&) = delete;

    std::FILE* get() const { return file_; }

    std::vector<std::uint8_t> contents() {
        std::vector<std::uint8_t> bytes;
        std::fflush(file_);
        std::rewind(file_);
        std::uint8_t chunk[4096];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, file_)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
        std::fseek(file_, 0, SEEK_END);
        return bytes;
    }

private:
    std::FILE* file_;
};

// What an operation printed on standard output: shown, what had reached the
// descriptor when it returned; held, what it left in the stdio buffer for
// someone else to flush. Progress must be shown at once, so held stays empty.
struct printed {
    int result = -1;
    std::string shown;
    std::string held;
};

namespace ops_detail {
inline std::string read_available(int fd) {
    std::string text;
    char chunk[512];
    ssize_t n = 0;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<std::size_t>(n));
    return text;
}
}  // namespace ops_detail

// Runs operation with standard output going to a pipe.
template <typename F>
printed run_printing(F operation) {
    printed p;
    std::fflush(stdout);
    int fds[2];
    if (sim::make_pipe(fds, O_CLOEXEC | O_NONBLOCK) != 0) return p;
    const int saved = dup(STDOUT_FILENO);
    dup2(fds[1], STDOUT_FILENO);
    p.result = operation();
    p.shown = ops_detail::read_available(fds[0]);
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    ::close(saved);
    ::close(fds[1]);
    p.held = ops_detail::read_available(fds[0]);
    ::close(fds[0]);
    return p;
}

// The first blocks of a picture's or thumbnail's data.
inline std::vector<std::uint8_t> first_blocks(const std::vector<std::uint8_t>& data, std::size_t blocks) {
    const std::size_t size = std::min(data.size(), blocks * sim::PICTURE_BLOCK);
    return {data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size)};
}

}  // namespace lumicord::testing

// The camera link fed by a camera that says whatever the fuzzer likes. The
// link's descriptor is one end of a socket pair; the other end holds the
// input's bytes and is then shut down for writing, so reads return the
// input and then 0 at once, as a line falls silent. What the link writes
// (commands, 0xD2, 0xE3) goes to the other end and is never read.
//
// Input: byte 0 picks the operation, byte 1 is the camera model the link
// believes in, byte 2 the picture number for a picture fetch; the rest is
// what the camera sends. Besides what the sanitizers catch, every result
// must be one the operation can give, and a block reported good must carry
// its checksum.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "link/block.h"
#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"
#include "link/line_testing.h"
#include "link/status.h"

namespace {

using namespace lumicord::camlink;

constexpr std::size_t MAX_CAMERA_BYTES = 64 * 1024;  // fits a socket's buffer
std::FILE* sink = nullptr;

void require(bool condition) {
    if (!condition) __builtin_trap();
}

bool one_of(int result, std::initializer_list<int> allowed) {
    return std::find(allowed.begin(), allowed.end(), result) != allowed.end();
}

// send_command's results, and what a status exchange adds to them.
constexpr std::initializer_list<int> COMMAND_RESULTS = {RES_OK, RES_NO_DATA, RES_WRONG_DATA, RES_NOT_FOUND};
bool status_result(int r) { return one_of(r, COMMAND_RESULTS) || r == RES_BAD_PACKET; }

int run_operation(std::uint8_t which, std::uint8_t number) {
    switch (which % 10) {
        case 0:
        case 1: {
            const std::size_t n = which % 10 == 0 ? SMALL_BLOCK : LARGE_BLOCK;
            const int r = receive_block(n);
            require(one_of(r, {RES_OK, RES_BAD_PACKET}));
            if (r == RES_OK) {
                require(block_checksum_ok(transfer_buffer.data(), n));
                camera_state_record state;
                decode_status(transfer_buffer.data(), state);
            }
            return r;
        }
        case 2: {
            const int r = query_status();
            require(status_result(r));
            return r;
        }
        case 3: {
            const int r = fetch_picture(number, sink);
            require(status_result(r) || one_of(r, {RES_IMPOSSIBLE}));
            return r;
        }
        case 4: {
            const int r = fetch_thumbnails(sink);
            require(status_result(r) || one_of(r, {RES_NOT_ON_DC25, RES_IMPOSSIBLE}));
            return r;
        }
        case 5: {
            const int r = fetch_picture_info(picture_info_table);
            require(status_result(r));
            return r;
        }
        case 6: {
            const int r = snap_picture();
            require(status_result(r) || one_of(r, {RES_IMPOSSIBLE, RES_NO_RESPONSE}));
            return r;
        }
        case 7: {
            const int r = erase_memory();
            require(status_result(r) || one_of(r, {RES_IMPOSSIBLE, RES_NO_RESPONSE}));
            return r;
        }
        case 8: {
            const int r = switch_resolution();
            require(status_result(r) || one_of(r, {RES_NOT_ON_DC25, RES_IMPOSSIBLE}));
            return r;
        }
        default: {
            // The status decoder on its own, on the raw bytes.
            std::array<std::uint8_t, SMALL_BLOCK> block{};
            read_line(block.data(), block.size());
            camera_state_record state;
            decode_status(block.data(), state);
            require(state.model == block[1]);
            return RES_OK;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The progress dots would flood the fuzzer's output.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    sink = std::fopen("/dev/null", "wb");
    return sink == nullptr ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
    const std::size_t camera_bytes = std::min(size - 3, MAX_CAMERA_BYTES);
    std::size_t written = 0;
    while (written < camera_bytes) {
        const ssize_t n = write(pair[1], data + 3 + written, camera_bytes - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    shutdown(pair[1], SHUT_WR);

    camera_state = camera_state_record{};
    camera_state.model = data[1];
    command_table = INITIAL_COMMANDS;
    transfer_buffer.fill(0);
    picture_info_table = picture_info_array{};
    adopt_line_descriptor(pair[0]);

    run_operation(data[0], data[2]);

    adopt_line_descriptor(-1);
    close(pair[0]);
    close(pair[1]);
    return 0;
}

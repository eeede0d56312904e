#include "link/block_stream.h"
#include "link/block.h"
#include "link/camera.h"
#include "link/command.h"

namespace lumicord::camlink {

namespace {
constexpr int HIGH_RES_BLOCKS = 122;
constexpr int LOW_RES_BLOCKS = 61;
constexpr std::size_t RESOLUTION_BYTE = 4;  // of block 0: 0 means high resolution
}

int fetch_picture(int number, std::FILE* stream) {
    int result = query_status();
    if (result != RES_OK) return result;
    // Pictures count from 1; a number below that names no picture at all.
    if (number < 1 || camera_state.pictures_taken < number) return RES_IMPOSSIBLE;
    patch_command(CMD_GET_PICTURE, 3, static_cast<std::uint8_t>(number & 0xFF));
    result = send_command(CMD_GET_PICTURE);
    if (result != RES_OK) return result;
    // Block 0 tells the picture's size; it gets no dot.
    result = receive_block_to_stream(stream, false);
    if (result != RES_OK) return result;
    const int blocks = transfer_buffer[RESOLUTION_BYTE] == 0 ? HIGH_RES_BLOCKS : LOW_RES_BLOCKS;
    for (int k = 1; k < blocks; ++k) {
        result = receive_block_to_stream(stream, k % 2 == 0);
        if (result != RES_OK) return result;
    }
    return await_completion();
}

}  // namespace lumicord::camlink

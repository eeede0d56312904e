#include "link/status.h"

#include "link/block.h"
#include "link/command.h"
#include "link/line.h"

namespace lumicord::camlink {

camera_state_record camera_state;

namespace {
constexpr int STATUS_TRIES = 10;
}

void decode_status(const std::uint8_t* block, camera_state_record& state) {
    state.model = block[1];
    if (state.model == MODEL_DC20) {
        state.pictures_taken = block[9];
        state.pictures_free = block[11];
        state.resolution = block[23];
        state.battery = block[29];
        return;
    }
    // The DC25 layout, also taken for any model byte the program does not know.
    state.resolution = block[11];
    state.pictures_taken = static_cast<std::uint8_t>(block[17] + block[19]);
    state.pictures_free = state.resolution == 0 ? block[21] : block[23];
    state.battery = block[29];
}

int query_status() {
    // CMD_INIT first: it re-asserts the working speed and proves the camera
    // is still there.
    int result = send_command_tries(CMD_INIT, STATUS_TRIES);
    if (result != RES_OK) return result;
    result = send_command_tries(CMD_STATUS, STATUS_TRIES);
    if (result != RES_OK) return result;
    result = receive_block(SMALL_BLOCK);
    if (result != RES_OK) return result;
    send_byte(BLOCK_OK);
    const int completion = await_completion();
    // The block is good even when its completion byte went missing.
    decode_status(transfer_buffer.data(), camera_state);
    return completion;
}

}  // namespace lumicord::camlink

#include "link/block_stream.h"
#include "link/block.h"
#include "link/camera.h"
#include "link/command.h"

namespace lumicord::camlink {

namespace {
constexpr int BLOCKS_PER_THUMBNAIL = 5;
}

int fetch_thumbnails(std::FILE* stream) {
    int result = query_status();
    if (result != RES_OK) return result;
    if (camera_state.model == MODEL_DC25) return RES_NOT_ON_DC25;
    if (camera_state.pictures_taken == 0) return RES_IMPOSSIBLE;
    int completion = RES_OK;
    for (int p = 1; p <= camera_state.pictures_taken; ++p) {
        patch_command(CMD_THUMBNAIL, 3, static_cast<std::uint8_t>(p));
        result = send_command(CMD_THUMBNAIL);
        if (result != RES_OK) return result;
        for (int k = 0; k < BLOCKS_PER_THUMBNAIL; ++k) {
            result = receive_block_to_stream(stream, k % 2 == 0);
            if (result != RES_OK) return result;
        }
        completion = await_completion();
        if (completion == RES_USER_BREAK) return completion;
    }
    return completion;
}

}  // namespace lumicord::camlink

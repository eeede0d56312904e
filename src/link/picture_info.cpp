#include "link/block.h"
#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"

namespace lumicord::camlink {

picture_info_array picture_info_table;

int fetch_picture_info(picture_info_array& table) {
    int result = query_status();
    if (result != RES_OK) return result;
    int completion = RES_OK;
    for (int p = 1; p <= camera_state.pictures_taken && p <= PICTURE_INFO_COUNT; ++p) {
        patch_command(CMD_PICTURE_INFO, 3, static_cast<std::uint8_t>(p));
        result = send_command(CMD_PICTURE_INFO);
        if (result != RES_OK) return result;
        result = receive_block(SMALL_BLOCK);
        if (result != RES_OK) return result;
        picture_info& record = table.records[p];
        record.aperture = transfer_buffer[16];
        record.exposure = transfer_buffer[35];
        record.low_res = transfer_buffer[4];
        send_byte(BLOCK_OK);
        // Only the last picture's completion decides the result.
        completion = await_completion();
        if (completion == RES_USER_BREAK) return completion;
    }
    return completion;
}

}  // namespace lumicord::camlink

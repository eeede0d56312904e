#include "link/block_stream.h"

#include "link/block.h"
#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"

namespace lumicord::camlink {

int receive_block_to_stream(std::FILE* stream, bool with_dot) {
    const int result = receive_block(LARGE_BLOCK);
    if (result != RES_OK) return result;
    if (std::fwrite(transfer_buffer.data(), 1, LARGE_BLOCK, stream) != LARGE_BLOCK) return RES_SAVE_ERROR;
    if (with_dot) {
        std::fputc('.', stdout);
        std::fflush(stdout);
    }
    send_byte(BLOCK_OK);
    return RES_OK;
}

}  // namespace lumicord::camlink

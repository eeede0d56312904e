// Passing received data blocks on to the caller's stream.
#pragma once

#include <cstdio>

namespace lumicord::camlink {

// Receives one 1024-byte block, writes it to stream and only then
// acknowledges it. A progress dot, flushed at once, marks the block when
// with_dot is set. RES_SAVE_ERROR on a short write (the block is then not
// acknowledged), else receive_block's result.
int receive_block_to_stream(std::FILE* stream, bool with_dot);

}  // namespace lumicord::camlink

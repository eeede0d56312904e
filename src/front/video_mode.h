// Unattended capture: snap, download picture 1, erase, video_count times.
#pragma once

namespace lumicord::front {

[[noreturn]] void run_video_mode();

}  // namespace lumicord::front

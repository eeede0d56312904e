// The interactive loop: one camera command per key.
#pragma once

namespace lumicord::front {

// Reads keys from standard input until "Q", "X" or the end of input; never
// returns.
[[noreturn]] void run_command_loop();

}  // namespace lumicord::front

// A pipe made with its flags set, where pipe2 is missing too.
#pragma once

namespace lumicord::sim {

// pipe2(fds, flags) for flags made of O_CLOEXEC and O_NONBLOCK: both ends
// get them. Returns 0, or -1 with errno set and no descriptor left open.
int make_pipe(int fds[2], int flags);

}  // namespace lumicord::sim

#include "sim/make_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace lumicord::sim {

int make_pipe(int fds[2], int flags) {
#if defined(LUMICORD_HAVE_PIPE2)
    return ::pipe2(fds, flags);
#else
    // Set one flag at a time. Between pipe and fcntl a fork and exec in
    // another thread could inherit the ends; pipe2 is what closes that gap.
    if (::pipe(fds) != 0) return -1;
    for (int i = 0; i < 2; ++i) {
        const bool failed =
            ((flags & O_CLOEXEC) != 0 && ::fcntl(fds[i], F_SETFD, FD_CLOEXEC) != 0) ||
            ((flags & O_NONBLOCK) != 0 && ::fcntl(fds[i], F_SETFL, ::fcntl(fds[i], F_GETFL) | O_NONBLOCK) != 0);
        if (failed) {
            const int saved = errno;
            ::close(fds[0]);
            ::close(fds[1]);
            errno = saved;
            return -1;
        }
    }
    return 0;
#endif
}

}  // namespace lumicord::sim

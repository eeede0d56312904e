#include "front/console_input.h"

#include <unistd.h>

#include <cerrno>

#include "front/stop_signals.h"
#include "link/line.h"

namespace lumicord::front {

void prepare_console() {}

console_read read_console_input(unsigned char* buffer, std::size_t size) {
    for (;;) {
        const wait_outcome outcome = wait_for(STDIN_FILENO, camlink::line_hangup_descriptor(), -1);
        if (outcome == wait_outcome::stopped) return {0, input_end::stopped};
        if (outcome == wait_outcome::hangup) return {0, input_end::line_hangup};
        const ssize_t count = ::read(STDIN_FILENO, buffer, size);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return {0, input_end::end};
        return {static_cast<std::size_t>(count), input_end::none};
    }
}

}  // namespace lumicord::front

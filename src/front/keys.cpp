#include "front/keys.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdio>

#include "front/stop_signals.h"
#include "link/line.h"

namespace lumicord::front {

namespace {

std::array<unsigned char, 256> key_buffer{};
std::size_t key_next = 0;
std::size_t key_end = 0;

}  // namespace

int read_key() {
    while (key_next == key_end) {
        const wait_outcome outcome = wait_for(STDIN_FILENO, camlink::line_hangup_descriptor(), -1);
        if (outcome == wait_outcome::stopped) return EOF;
        if (outcome == wait_outcome::hangup) return KEY_LINE_HANGUP;
        const ssize_t count = ::read(STDIN_FILENO, key_buffer.data(), key_buffer.size());
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return EOF;
        key_next = 0;
        key_end = static_cast<std::size_t>(count);
    }
    return key_buffer[key_next++];
}

}  // namespace lumicord::front

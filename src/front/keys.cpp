#include "front/keys.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdio>

#include "front/stop_signals.h"

namespace lumicord::front {

namespace {

std::array<unsigned char, 256> key_buffer{};
std::size_t key_next = 0;
std::size_t key_end = 0;

}  // namespace

int read_key() {
    while (key_next == key_end) {
        if (!wait_for_input(STDIN_FILENO)) return EOF;
        const ssize_t count = ::read(STDIN_FILENO, key_buffer.data(), key_buffer.size());
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return EOF;
        key_next = 0;
        key_end = static_cast<std::size_t>(count);
    }
    return key_buffer[key_next++];
}

}  // namespace lumicord::front

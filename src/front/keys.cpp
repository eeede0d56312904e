#include "front/keys.h"

#include <array>
#include <cstddef>
#include <cstdio>

#include "front/console_input.h"

namespace lumicord::front {

namespace {

std::array<unsigned char, 256> key_buffer{};
std::size_t key_next = 0;
std::size_t key_end = 0;

}  // namespace

int read_key() {
    while (key_next == key_end) {
        const console_read got = read_console_input(key_buffer.data(), key_buffer.size());
        if (got.end == input_end::line_hangup) return KEY_LINE_HANGUP;
        if (got.end != input_end::none) return EOF;
        key_next = 0;
        key_end = got.count;
    }
    return key_buffer[key_next++];
}

}  // namespace lumicord::front

// The console as the system offers it: standard input read as the user
// types it, and the standard streams made to carry exactly the program's
// bytes.
#pragma once

#include <cstddef>

namespace lumicord::front {

// Before any output: on a system whose streams translate line ends, both
// output streams are made to pass "\n" through as it is.
void prepare_console();

enum class input_end { none, end, stopped, line_hangup };

struct console_read {
    std::size_t count = 0;         // bytes read, when end is none
    input_end end = input_end::none;
};

// Waits for what standard input delivers (a whole line from a terminal in
// line mode) and reads at most size bytes of it. Never sits waiting once a
// stop was asked for, even one that came just before the wait began; tells
// a hang-up of the serial line while it waits (an adapter unplugged at the
// prompt). The end of input and a read error are both its end.
console_read read_console_input(unsigned char* buffer, std::size_t size);

}  // namespace lumicord::front

// The one way out once the serial line is open.
#pragma once

namespace lumicord::front {

// The two lines of the closing notice.
void show_closing_notice();

// Sends camera and line back to 9600, restores the device, prints the
// closing notice and exits with status; when a signal asked us to stop, the
// process ends by that signal instead.
[[noreturn]] void say_goodbye(int status);

// After a command: when a signal asked us to stop, say goodbye now.
void goodbye_if_interrupted();

}  // namespace lumicord::front

// The keys the user types, one character at a time.
#pragma once

namespace lumicord::front {

// The next character from standard input, or EOF at its end, on a read
// error, and when a signal asked us to stop. Like the standard input stream
// it reads whatever the terminal has delivered (a whole line in line mode)
// and hands it out a character at a time; unlike it, it never sits waiting
// for input once a stop has been requested, even one that came just before
// the wait began.
// KEY_LINE_HANGUP instead when, while it waits, the serial line reports a
// hang-up (an adapter unplugged at the prompt).
int read_key();

inline constexpr int KEY_LINE_HANGUP = -2;  // never a character, never EOF

}  // namespace lumicord::front

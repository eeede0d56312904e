// What stops the program from outside, and how: on Unix SIGINT (Ctrl-C),
// SIGTERM, SIGHUP (a closed terminal) and SIGPIPE (output to a reader that
// went away); on Windows Ctrl-C, Ctrl-Break and a closed console window,
// whose handler runs on a thread of its own. The handler only notes the
// stop and passes a stop request to the camera link, whose exchange in
// progress then ends at its next byte or block boundary; the goodbye puts
// camera and device back as they were and the process then ends as one
// so stopped does (by the signal itself on Unix, with
// STATUS_CONTROL_C_EXIT on Windows), as the caller expects of it.
#pragma once

namespace lumicord::front {

// Installs the handlers (without SA_RESTART, so a blocking read returns at
// once). A signal that was ignored when the program started stays ignored:
// under nohup a closed terminal does not stop a long video run.
void install_stop_handlers();

// The signal that asked us to stop, or 0 (on Windows SIGINT, SIGBREAK or,
// for a closed console window, SIGTERM).
int stop_signal();

enum class wait_outcome {
    ready,      // input_fd has something to read or has reached its end
    stopped,    // a signal asked us to stop
    hangup,     // hangup_fd reported a hang-up or an error
    timed_out,
};

// Waits until input_fd has something to read, hangup_fd reports a hang-up
// (only where ppoll exists; pselect cannot tell one), timeout_ms passes
// (never when negative) or a stop signal arrives, also one that came just
// before the wait began: the signals are held back while the request is
// tested and let through only inside the wait, so none can slip in between
// and leave us blocked. A descriptor of -1 is not watched. On Windows only
// the stop and the timeout are watched (the console's input has its own
// wait, see console_input.h).
wait_outcome wait_for(int input_fd, int hangup_fd, int timeout_ms);

// Called when the goodbye starts; returns the signal that asked us to stop,
// or 0. From here on a further signal puts the device's settings back and
// ends the process by that signal at once, without waiting for the camera.
int begin_goodbye();

// Ends the process by signal_number with its default action, so that the
// parent sees the signal (a shell shows 128 + its number); on Windows with
// STATUS_CONTROL_C_EXIT, the status of any program Ctrl-C ends.
[[noreturn]] void end_by_signal(int signal_number);

}  // namespace lumicord::front

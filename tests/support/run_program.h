// Runs a built binary with scripted standard input and collects what it
// printed and how it ended.
#pragma once

#include <csignal>
#include <functional>
#include <string>
#include <vector>

namespace lumicord::testing {

struct program_run {
    std::string binary;             // path of the executable
    std::vector<std::string> args;  // without the program's name
    std::string input;              // written to standard input
    bool close_input = true;        // close standard input once written (end of input)
    std::string cwd;                // working directory; empty = the test's
    // The working directory, empty and given by its absolute path, is
    // removed once the program is in it: no file can be made there then,
    // not even by root.
    bool remove_cwd = false;
    std::vector<std::string> environment;  // "NAME=value", over the test's own
    int timeout_seconds = 120;      // then the program is killed and timed_out set
    // Send signal_number once standard output contains signal_when.
    std::string signal_when;
    int signal_number = 0;
    // Standard input read from this file instead of the input text (e.g. a
    // directory, whose read fails).
    std::string input_path;
    // A limit on the size of any file the program writes (RLIMIT_FSIZE), with
    // SIGXFSZ ignored so that the write fails as on a full disk; 0 = none.
    long file_size_limit = 0;
    // Once standard output contains marker: call at_marker (if set) with
    // the program's process id, then write input_at_marker to standard
    // input after the input text. Until the marker has shown, standard
    // input stays open even with close_input.
    std::string marker;
    std::function<void(int pid)> at_marker;
    std::string input_at_marker;
    // Signals sent at fixed times after the start, whatever the program is
    // doing then (for stopping it at random moments).
    struct timed_signal {
        int after_ms;
        int signal_number;
    };
    std::vector<timed_signal> timed_signals;
};

struct program_result {
    int exit_status = -1;   // as the parent sees it (255 for exit(-1))
    int killed_by = 0;      // the signal that ended it, if any
    bool timed_out = false;
    std::string out;
    std::string err;
    double seconds = 0;
    double cpu_seconds = 0;       // processor time, user and system
    bool under_valgrind = false;  // then times and processor use say little
};

program_result run_program(const program_run& run);

// The name of a signal the tests send, without "SIG" ("INT"); the number
// itself for any other.
std::string signal_name(int signal_number);

// The lumicord binary the end-to-end tests run: the one this build made, or
// the one the environment variable LUMICORD_TEST_BINARY names (non-empty),
// such as a release file built for another processor, which the kernel
// then runs through qemu-user.
const std::string& lumicord_binary();

// The lumicord binary with these arguments. With the environment variable
// LUMICORD_VALGRIND set (non-empty), run_program runs the lumicord binary
// under valgrind, which turns any memory error into exit status 99.
program_run lumicord_run(std::vector<std::string> args, std::string input = "", std::string cwd = "");

}  // namespace lumicord::testing

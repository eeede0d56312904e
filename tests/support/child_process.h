// A program run as a child process, the one way the tests and the benchmark
// start one: its standard input is fed from the text sent to it (or comes
// from a file), its output and errors are collected as they come, and its
// end is awaited with a deadline and read back with the resources it used.
// It starts the same whatever the test runner's own signal settings: with
// the default action for SIGINT, SIGTERM, SIGHUP, SIGPIPE and SIGQUIT, and
// no signal blocked (a test that wants one ignored says so, e.g. by running
// the program through nohup). Nothing here depends on the test framework.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace lumicord::testing {

using child_clock = std::chrono::steady_clock;

struct child_setup {
    std::vector<std::string> argv;         // argv[0] is the file run (a path; PATH is not searched)
    std::string cwd;                       // working directory; empty = the parent's
    // The working directory (an empty one, by its absolute path) is removed
    // once the child is in it: nobody, not even root, can make a file there.
    bool remove_cwd = false;
    std::vector<std::string> environment;  // "NAME=value", over the parent's own
    std::string input_path;                // standard input from this file; empty = a pipe fed by send()
    std::string error_path;                // standard error into this file (made afresh); empty = collected
    // A limit on the size of any file the child writes (RLIMIT_FSIZE), with
    // SIGXFSZ ignored so that the write fails as on a full disk; 0 = none.
    long file_size_limit = 0;
    // Real-time (SCHED_FIFO) priority, where the system has sched_setscheduler
    // (not macOS or OpenBSD) and allows it; 0 = ordinary.
    int realtime_priority = 0;
};

struct child_end {
    bool exited = false;  // by exit, with exit_status
    int exit_status = -1;
    int killed_by = 0;    // the signal that ended it
    rusage usage{};
    child_clock::time_point ended;
};

// The signal start of every child, for a child made by fork outside
// child_process as well. Async-signal-safe: fit for the child of a fork in
// a process with threads.
void start_signals_afresh();

class child_process {
public:
    // Starts the child; throws std::runtime_error when it cannot (a child
    // that cannot run its program exits with status 127).
    explicit child_process(const child_setup& setup);
    // A child still running is killed and reaped.
    ~child_process();
    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;

    pid_t pid() const { return pid_; }
    child_clock::time_point started() const { return started_; }
    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }
    // Whether standard output or a collected standard error is still open.
    bool output_open() const { return out_fd_ >= 0 || err_fd_ >= 0; }

    // Sends the child a signal (nothing once it has been reaped).
    void signal(int signal_number);

    // Text for standard input, written as the child takes it in.
    void send(const std::string& text);
    // Closes standard input once everything sent has been written.
    void end_input();

    // Waits for output, or for room for the input, until the deadline at the
    // latest, and moves what it can.
    void pump(child_clock::time_point deadline);
    // Pumps until marker shows in standard output at or after from; then
    // from is set past it. False when the output ends or the deadline
    // passes first.
    bool wait_for_output(const std::string& marker, std::size_t& from, child_clock::time_point deadline);

    // Pumps until the output ends, kills the child if the deadline comes
    // first, and reaps it. Once only.
    child_end finish(child_clock::time_point deadline);

private:
    void close_input();

    pid_t pid_ = -1;
    child_clock::time_point started_;
    int in_fd_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    std::string input_;            // sent, not yet written
    bool input_ends_ = false;      // close standard input once input_ is written
    std::string out_;
    std::string err_;
};

}  // namespace lumicord::testing

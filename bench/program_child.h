// The lumicord binary as a child process: keys go in through a pipe, its
// output is watched for markers as it comes, and the resources it used are
// read back from the kernel when it ends.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace lumicord::bench {

using clock = std::chrono::steady_clock;

struct program_end {
    bool exited = false;  // false: killed, or never reaped
    int exit_code = -1;
    rusage usage{};
    clock::time_point ended;
};

class program_child {
public:
    // Starts binary with args in directory cwd; standard error goes to
    // err_path. With realtime the child runs at real-time priority (where
    // allowed), to tell the program's own delays from waiting for a
    // processor.
    program_child(const std::string& binary, const std::vector<std::string>& args, const std::string& cwd,
                  const std::string& err_path, bool realtime = false);

    clock::time_point started() const { return process_.started(); }
    // Everything it printed so far.
    const std::string& out() const { return process_.out(); }

    // Reads output until marker appears beyond what earlier calls matched.
    // False when the output ends or the deadline passes first.
    bool await_output(const std::string& marker, clock::time_point deadline);

    void send_keys(const std::string& keys);

    // Closes standard input, reads the rest of the output and reaps the
    // child with its resource usage. A child still running at the deadline
    // is killed.
    program_end finish(clock::time_point deadline);

private:
    testing::child_process process_;
    std::size_t seen_ = 0;  // output up to here has been matched already
};

}  // namespace lumicord::bench

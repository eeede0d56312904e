// The lumicord-sim tool run as a separate process, the way a user runs it:
// ready once it has printed its terminal's path, stopped with SIGTERM.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace lumicord::testing {

// The lumicord-sim binary the tests run: the one this build made, or the
// one the environment variable LUMICORD_TEST_SIM_BINARY names (non-empty).
const std::string& lumicord_sim_binary();

class sim_process {
public:
    // The tool built with the tests (or the one LUMICORD_TEST_SIM_BINARY
    // names, a packaged one), or another copy of it (an installed one).
    explicit sim_process(const std::vector<std::string>& args, const std::string& binary = lumicord_sim_binary());
    ~sim_process();
    sim_process(const sim_process&) = delete;
    sim_process& operator=(const sim_process&) = delete;

    // The terminal's path; empty when the tool did not start serving.
    const std::string& device() const { return device_; }
    // What it printed on standard error so far.
    const std::string& errors() const { return child_->err(); }

    // Stops the tool as a user would; its exit status, or 128 plus the
    // signal that ended it. Later calls return the same.
    int stop();

private:
    std::unique_ptr<child_process> child_;
    std::string device_;
    bool stopped_ = false;
    int status_ = -1;
};

}  // namespace lumicord::testing

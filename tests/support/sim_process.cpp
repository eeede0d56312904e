#include "tests/support/sim_process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>

namespace lumicord::testing {

namespace {
constexpr auto START_DEADLINE = std::chrono::seconds(30);
constexpr auto STOP_DEADLINE = std::chrono::seconds(30);
}  // namespace

const std::string& lumicord_sim_binary() {
    static const std::string binary = [] {
        const char* chosen = std::getenv("LUMICORD_TEST_SIM_BINARY");
        return std::string(chosen != nullptr && *chosen != '\0' ? chosen : LUMICORD_SIM_BINARY);
    }();
    return binary;
}

sim_process::sim_process(const std::vector<std::string>& args, const std::string& binary) {
    child_setup setup;
    setup.argv = {binary};
    setup.argv.insert(setup.argv.end(), args.begin(), args.end());
    setup.input_path = "/dev/null";
    child_ = std::make_unique<child_process>(setup);
    // The path is the first line; the tool prints it once serving.
    std::size_t after_line = 0;
    if (child_->wait_for_output("\n", after_line, child_->started() + START_DEADLINE))
        device_ = child_->out().substr(0, after_line - 1);
}

sim_process::~sim_process() { stop(); }

int sim_process::stop() {
    if (stopped_) return status_;
    stopped_ = true;
    child_->signal(SIGTERM);
    const child_end end = child_->finish(child_clock::now() + STOP_DEADLINE);
    status_ = end.exited ? end.exit_status : 128 + end.killed_by;
    return status_;
}

}  // namespace lumicord::testing

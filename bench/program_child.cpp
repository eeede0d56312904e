#include "bench/program_child.h"

namespace lumicord::bench {

namespace {

constexpr int PROGRAM_PRIORITY = 5;  // below the camera's

testing::child_setup setup_for(const std::string& binary, const std::vector<std::string>& args, const std::string& cwd,
                               const std::string& err_path, bool realtime) {
    testing::child_setup setup;
    setup.argv = {binary};
    setup.argv.insert(setup.argv.end(), args.begin(), args.end());
    setup.cwd = cwd;
    setup.error_path = err_path;
    setup.realtime_priority = realtime ? PROGRAM_PRIORITY : 0;
    return setup;
}

}  // namespace

program_child::program_child(const std::string& binary, const std::vector<std::string>& args, const std::string& cwd,
                             const std::string& err_path, bool realtime)
    : process_(setup_for(binary, args, cwd, err_path, realtime)) {}

bool program_child::await_output(const std::string& marker, clock::time_point deadline) {
    return process_.wait_for_output(marker, seen_, deadline);
}

void program_child::send_keys(const std::string& keys) { process_.send(keys); }

program_end program_child::finish(clock::time_point deadline) {
    process_.end_input();
    const testing::child_end end = process_.finish(deadline);
    program_end result;
    result.exited = end.exited;
    result.exit_code = end.exit_status;
    result.usage = end.usage;
    result.ended = end.ended;
    return result;
}

}  // namespace lumicord::bench

#include "tests/support/run_program.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/child_process.h"
#include "tests/support/path_search.h"

namespace lumicord::testing {

namespace {

constexpr int VALGRIND_ERROR_STATUS = 99;

// The valgrind command line that wraps the lumicord binary, when asked for
// in the environment; empty otherwise.
std::vector<std::string> valgrind_prefix(const std::string& binary) {
    const char* wanted = std::getenv("LUMICORD_VALGRIND");
    if (wanted == nullptr || *wanted == '\0' || binary != lumicord_binary()) return {};
    const std::optional<std::string> valgrind = find_tool("valgrind");
    if (!valgrind) throw std::runtime_error("LUMICORD_VALGRIND is set, but there is no valgrind on PATH");
    return {*valgrind, "--error-exitcode=" + std::to_string(VALGRIND_ERROR_STATUS), "-q", "--leak-check=no"};
}

// valgrind's own notes about the terminal ioctls it has no model for
// (TIOCEXCL, TIOCNXCL) are no finding about the program; they would only
// stand between a test and the program's own standard error. A note is one
// "==PID== Warning: noted but unhandled ioctl" line and its indented
// continuation lines. Nor is the complaint of the shell valgrind's launcher
// starts when the working directory has been removed (a test of that).
std::string without_valgrind_ioctl_notes(const std::string& err) {
    std::string kept;
    bool in_note = false;
    for (std::size_t from = 0; from < err.size();) {
        std::size_t to = err.find('\n', from);
        to = to == std::string::npos ? err.size() : to + 1;
        const std::string line = err.substr(from, to - from);
        from = to;
        // "==1234== text"
        const std::size_t close = line.starts_with("==") ? line.find("== ", 2) : std::string::npos;
        const bool valgrind_line = close != std::string::npos;
        const std::string text = valgrind_line ? line.substr(close + 3) : line;
        if (valgrind_line && text.starts_with("Warning: noted but unhandled ioctl")) {
            in_note = true;
            continue;
        }
        if (in_note && valgrind_line && text.starts_with("   ")) continue;
        in_note = false;
        if (line.starts_with("sh: ") && line.find(": getcwd() failed: ") != std::string::npos) continue;
        kept += line;
    }
    return kept;
}

}  // namespace

program_result run_program(const program_run& run) {
    child_setup setup;
    setup.argv = valgrind_prefix(run.binary);
    setup.argv.push_back(run.binary);
    setup.argv.insert(setup.argv.end(), run.args.begin(), run.args.end());
    setup.cwd = run.cwd;
    setup.remove_cwd = run.remove_cwd;
    setup.environment = run.environment;
    setup.input_path = run.input_path;
    setup.file_size_limit = run.file_size_limit;
    child_process child(setup);

    // Until the marker has shown, standard input stays open.
    bool marker_seen = run.marker.empty();
    child.send(run.input);
    if (run.close_input && marker_seen) child.end_input();
    bool signalled = run.signal_number == 0;
    std::vector<program_run::timed_signal> timed = run.timed_signals;
    std::sort(timed.begin(), timed.end(), [](const auto& a, const auto& b) { return a.after_ms < b.after_ms; });
    std::size_t next_timed = 0;
    const auto due = [&](std::size_t i) { return child.started() + std::chrono::milliseconds(timed[i].after_ms); };

    program_result result;
    const child_clock::time_point deadline = child.started() + std::chrono::seconds(run.timeout_seconds);
    while (child.output_open()) {
        const child_clock::time_point now = child_clock::now();
        if (now >= deadline) {
            result.timed_out = true;
            break;
        }
        while (next_timed < timed.size() && due(next_timed) <= now) child.signal(timed[next_timed++].signal_number);
        child.pump(next_timed < timed.size() ? std::min(deadline, due(next_timed)) : deadline);
        if (!signalled && child.out().find(run.signal_when) != std::string::npos) {
            child.signal(run.signal_number);
            signalled = true;
        }
        if (!marker_seen && child.out().find(run.marker) != std::string::npos) {
            marker_seen = true;
            if (run.at_marker) run.at_marker(child.pid());
            child.send(run.input_at_marker);
            if (run.close_input) child.end_input();
        }
    }
    const child_end end = child.finish(deadline);
    result.out = child.out();
    result.err = setup.argv.front() == run.binary ? child.err() : without_valgrind_ioctl_notes(child.err());
    result.seconds = std::chrono::duration<double>(end.ended - child.started()).count();
    const auto seconds_of = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    result.cpu_seconds = seconds_of(end.usage.ru_utime) + seconds_of(end.usage.ru_stime);
    result.under_valgrind = setup.argv.front() != run.binary;
    if (end.exited) result.exit_status = end.exit_status;
    result.killed_by = end.killed_by;
    return result;
}

std::string signal_name(int signal_number) {
    // Not every C library can name a signal (sigabbrev_np is glibc's own).
    constexpr struct {
        int number;
        const char* name;
    } NAMES[] = {{SIGHUP, "HUP"},   {SIGINT, "INT"},   {SIGQUIT, "QUIT"}, {SIGKILL, "KILL"},
                 {SIGPIPE, "PIPE"}, {SIGALRM, "ALRM"}, {SIGTERM, "TERM"}, {SIGXFSZ, "XFSZ"}};
    for (const auto& n : NAMES)
        if (n.number == signal_number) return n.name;
    return std::to_string(signal_number);
}

const std::string& lumicord_binary() {
    static const std::string binary = [] {
        const char* chosen = std::getenv("LUMICORD_TEST_BINARY");
        return std::string(chosen != nullptr && *chosen != '\0' ? chosen : LUMICORD_BINARY);
    }();
    return binary;
}

program_run lumicord_run(std::vector<std::string> args, std::string input, std::string cwd) {
    program_run run;
    run.binary = lumicord_binary();
    run.args = std::move(args);
    run.input = std::move(input);
    run.cwd = std::move(cwd);
    return run;
}

}  // namespace lumicord::testing

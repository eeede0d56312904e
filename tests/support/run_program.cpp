#include "tests/support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace lumicord::testing {

namespace {

void make_pipe(int fds[2]) {
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
}

constexpr int VALGRIND_ERROR_STATUS = 99;

// The valgrind command line that wraps the lumicord binary, when asked for
// in the environment; empty otherwise.
std::vector<std::string> valgrind_prefix(const std::string& binary) {
    const char* wanted = std::getenv("LUMICORD_VALGRIND");
    if (wanted == nullptr || *wanted == '\0' || binary != LUMICORD_BINARY) return {};
    std::string valgrind = "valgrind";
    if (const char* path = std::getenv("PATH")) {
        std::string dirs = path;
        for (std::size_t from = 0; from <= dirs.size();) {
            std::size_t to = dirs.find(':', from);
            if (to == std::string::npos) to = dirs.size();
            const std::string candidate = dirs.substr(from, to - from) + "/valgrind";
            if (access(candidate.c_str(), X_OK) == 0) {
                valgrind = candidate;
                break;
            }
            from = to + 1;
        }
    }
    return {valgrind, "--error-exitcode=" + std::to_string(VALGRIND_ERROR_STATUS), "-q", "--leak-check=no"};
}

}  // namespace

program_result run_program(const program_run& run) {
    // A program that exits before reading all its input must not take the
    // test down with it.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    make_pipe(in);
    make_pipe(out);
    make_pipe(err);
    std::vector<std::string> argv_strings = valgrind_prefix(run.binary);
    argv_strings.push_back(run.binary);
    argv_strings.insert(argv_strings.end(), run.args.begin(), run.args.end());
    std::vector<char*> argv;
    for (std::string& s : argv_strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec (setrlimit is a
        // plain system call).
        if (run.input_path.empty()) {
            dup2(in[0], 0);
        } else {
            const int fd = open(run.input_path.c_str(), O_RDONLY);
            if (fd < 0) _exit(127);
            dup2(fd, 0);
            if (fd != 0) close(fd);
        }
        if (run.file_size_limit > 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(run.file_size_limit), static_cast<rlim_t>(run.file_size_limit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
        }
        // The program starts with the default action for a broken pipe, as
        // from a shell, not with the test's own disposition.
        signal(SIGPIPE, SIG_DFL);
        dup2(out[1], 1);
        dup2(err[1], 2);
        if (!run.cwd.empty() && chdir(run.cwd.c_str()) != 0) _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    fcntl(in[1], F_SETFL, O_NONBLOCK);

    program_result result;
    std::string input = run.input;
    bool marker_seen = run.marker.empty();
    std::size_t written = 0;
    int input_fd = in[1];
    if ((input.empty() && run.close_input && marker_seen) || !run.input_path.empty()) {
        close(input_fd);
        input_fd = -1;
    }
    bool signalled = run.signal_number == 0;
    std::vector<program_run::timed_signal> timed = run.timed_signals;
    std::sort(timed.begin(), timed.end(), [](const auto& a, const auto& b) { return a.after_ms < b.after_ms; });
    std::size_t next_timed = 0;
    bool out_open = true, err_open = true;
    const auto deadline = start + std::chrono::seconds(run.timeout_seconds);
    std::array<char, 65536> buffer{};
    while (out_open || err_open) {
        std::array<pollfd, 3> fds{{{out_open ? out[0] : -1, POLLIN, 0},
                                    {err_open ? err[0] : -1, POLLIN, 0},
                                    {input_fd >= 0 && written < input.size() ? input_fd : -1, POLLOUT, 0}}};
        const auto now = std::chrono::steady_clock::now();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (left.count() <= 0) {
            result.timed_out = true;
            kill(pid, SIGKILL);
            break;
        }
        long wait_ms = left.count();
        while (next_timed < timed.size() && start + std::chrono::milliseconds(timed[next_timed].after_ms) <= now)
            kill(pid, timed[next_timed++].signal_number);
        if (next_timed < timed.size()) {
            const auto due = std::chrono::duration_cast<std::chrono::milliseconds>(
                start + std::chrono::milliseconds(timed[next_timed].after_ms) - now);
            if (due.count() + 1 < wait_ms) wait_ms = due.count() + 1;
        }
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(wait_ms));
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[static_cast<std::size_t>(i)].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = read(fds[static_cast<std::size_t>(i)].fd, buffer.data(), buffer.size());
                if (n <= 0) {
                    (i == 0 ? out_open : err_open) = false;
                } else {
                    (i == 0 ? result.out : result.err).append(buffer.data(), static_cast<std::size_t>(n));
                }
            }
        }
        if (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) {
            const ssize_t n = write(input_fd, input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 && errno != EAGAIN) written = input.size();
            if (written >= input.size() && run.close_input && marker_seen) {
                close(input_fd);
                input_fd = -1;
            }
        }
        if (!signalled && result.out.find(run.signal_when) != std::string::npos) {
            kill(pid, run.signal_number);
            signalled = true;
        }
        if (!marker_seen && result.out.find(run.marker) != std::string::npos) {
            marker_seen = true;
            if (run.at_marker) run.at_marker(pid);
            input += run.input_at_marker;
            if (input_fd >= 0 && written >= input.size() && run.close_input) {
                close(input_fd);
                input_fd = -1;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (input_fd >= 0) close(input_fd);
    close(out[0]);
    close(err[0]);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.killed_by = WTERMSIG(status);
    return result;
}

program_run lumicord_run(std::vector<std::string> args, std::string input, std::string cwd) {
    program_run run;
    run.binary = LUMICORD_BINARY;
    run.args = std::move(args);
    run.input = std::move(input);
    run.cwd = std::move(cwd);
    return run;
}

}  // namespace lumicord::testing

// Programs of the system that the install, package and manual page tests
// use (groff, man, cpack, dpkg), and the lumicord-sim tool run as a separate
// process the way a user runs it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/run_program.h"

namespace lumicord::testing {

// The path of an executable found on PATH, if any.
inline std::optional<std::string> find_tool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (dir.empty()) continue;
        const std::filesystem::path candidate = std::filesystem::path(dir) / name;
        if (access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate)) return candidate.string();
    }
    return std::nullopt;
}

// Runs binary with args; environment settings ("NAME=value") go first, through env.
inline program_result run_tool(const std::string& binary, std::vector<std::string> args,
                               const std::vector<std::string>& environment = {}, const std::string& cwd = "",
                               std::string input = "") {
    program_run run;
    if (environment.empty()) {
        run.binary = binary;
        run.args = std::move(args);
    } else {
        run.binary = "/usr/bin/env";
        run.args = environment;
        run.args.push_back(binary);
        run.args.insert(run.args.end(), args.begin(), args.end());
    }
    run.cwd = cwd;
    run.input = std::move(input);
    run.timeout_seconds = 200;
    return run_program(run);
}

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A lumicord-sim process: started with its arguments, ready once it has
// printed its terminal's path, stopped with SIGTERM.
class sim_process {
public:
    sim_process(const std::string& binary, const std::vector<std::string>& args) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        std::vector<std::string> strings{binary};
        strings.insert(strings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : strings) argv.push_back(s.data());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ < 0) throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            const int null_fd = open("/dev/null", O_RDONLY);
            dup2(null_fd, 0);
            dup2(out[1], 1);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        // The path is the first line; the simulator prints it once serving.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        char c = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 1000) <= 0) continue;
            if (read(out[0], &c, 1) != 1 || c == '\n') break;
            device_ += c;
        }
        close(out[0]);
        if (c != '\n') device_.clear();
    }
    ~sim_process() {
        if (pid_ > 0) stop();
    }
    sim_process(const sim_process&) = delete;
    sim_process& operator=(const sim_process&) = delete;

    // The terminal's path; empty when the simulator did not start.
    const std::string& device() const { return device_; }

    // Stops the simulator; its exit status, or -1 when a signal ended it.
    int stop() {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    std::string device_;
};

}  // namespace lumicord::testing

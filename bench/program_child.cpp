#include "bench/program_child.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include "sim/make_pipe.h"

namespace lumicord::bench {

namespace {

constexpr int PROGRAM_PRIORITY = 5;  // below the camera's

int milliseconds_until(clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left) + 1;
}

// One read of whatever output is there, waiting for it until the deadline.
// False at end of output or deadline.
bool read_some(program_child& child, clock::time_point deadline) {
    if (child.output < 0) return false;
    pollfd p{child.output, POLLIN, 0};
    const int ready = ::poll(&p, 1, milliseconds_until(deadline));
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return false;
    std::array<char, 4096> buffer{};
    const ssize_t n = ::read(child.output, buffer.data(), buffer.size());
    if (n < 0) return errno == EINTR;
    if (n == 0) {
        ::close(child.output);
        child.output = -1;
        return false;
    }
    child.out.append(buffer.data(), static_cast<std::size_t>(n));
    return true;
}

}  // namespace

program_child start_program(const std::string& binary, const std::vector<std::string>& args, const std::string& cwd,
                            const std::string& err_path, bool realtime) {
    // A child that ends before reading its keys must not end us.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    if (sim::make_pipe(in, O_CLOEXEC) != 0 || sim::make_pipe(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (err < 0) throw std::runtime_error("cannot create " + err_path);
    std::vector<std::string> strings{binary};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    program_child child;
    child.started = clock::now();
    child.pid = ::fork();
    if (child.pid < 0) throw std::runtime_error("fork failed");
    if (child.pid == 0) {
        // Only async-signal-safe calls until exec.
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err, 2);
        if (::chdir(cwd.c_str()) != 0) ::_exit(127);
        if (realtime) {
            sched_param p{};
            p.sched_priority = PROGRAM_PRIORITY;
            ::sched_setscheduler(0, SCHED_FIFO, &p);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err);
    child.input = in[1];
    child.output = out[0];
    return child;
}

bool await_output(program_child& child, const std::string& marker, clock::time_point deadline) {
    for (;;) {
        const std::size_t at = child.out.find(marker, child.seen);
        if (at != std::string::npos) {
            child.seen = at + marker.size();
            return true;
        }
        if (!read_some(child, deadline)) return false;
    }
}

void send_keys(program_child& child, const std::string& keys) {
    std::size_t written = 0;
    while (written < keys.size()) {
        const ssize_t n = ::write(child.input, keys.data() + written, keys.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        written += static_cast<std::size_t>(n);
    }
}

program_end finish_program(program_child& child, clock::time_point deadline) {
    if (child.input >= 0) {
        ::close(child.input);
        child.input = -1;
    }
    while (read_some(child, deadline)) {
    }
    program_end end;
    int status = 0;
    if (child.output >= 0) {
        // Still open at the deadline: the child hangs.
        ::kill(child.pid, SIGKILL);
        ::close(child.output);
        child.output = -1;
    }
    while (::wait4(child.pid, &status, 0, &end.usage) < 0) {
        if (errno != EINTR) return end;
    }
    end.ended = clock::now();
    end.exited = WIFEXITED(status);
    end.exit_code = end.exited ? WEXITSTATUS(status) : -1;
    return end;
}

}  // namespace lumicord::bench

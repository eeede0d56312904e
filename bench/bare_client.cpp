#include "bench/bare_client.h"

#include <fcntl.h>
#include <sched.h>
#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
#include <sys/prctl.h>
#endif
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "bench/camera_timing.h"
#include "bench/line_budget.h"
#include "link/pause.h"
#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "sim/make_pipe.h"
#include "sim/protocol.h"
#include "tests/support/child_process.h"

namespace lumicord::bench {

namespace {

using clock = std::chrono::steady_clock;

#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
constexpr unsigned long USUAL_TIMER_SLACK_NS = 50'000;
#endif
constexpr cc_t READ_TIMEOUT_DECISECONDS = 15;
constexpr std::size_t BLOCK_WITH_CHECKSUM = 1025;
constexpr int HIGH_RES_BLOCKS = 122;
constexpr int LOW_RES_BLOCKS = 61;

termios raw_settings(speed_t speed) {
    termios t{};
    cfmakeraw(&t);
    t.c_cflag |= CREAD | CS8 | PARENB;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = READ_TIMEOUT_DECISECONDS;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return t;
}

// Everything the child needs, made before the fork: after it only
// async-signal-safe calls are allowed.
struct client_plan {
    int line = -1;
    int to_parent = -1;
    int from_parent = -1;
    termios working{};
    std::array<std::uint8_t, 8> init{};
    std::array<std::uint8_t, 8> get_picture{};
    int blocks = 0;
};

bool read_exact(int fd, std::uint8_t* buffer, std::size_t count, long& reads) {
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd, buffer + got, count - got);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
        ++reads;
    }
    return true;
}

bool exchange_command(int fd, const std::array<std::uint8_t, 8>& command, long& reads) {
    // The program's own pause before every command.
    camlink::pause(100);
    if (::write(fd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) return false;
    std::uint8_t ack = 0;
    return read_exact(fd, &ack, 1, reads);
}

[[noreturn]] void run_client(const client_plan& plan) {
    testing::start_signals_afresh();
#if defined(LUMICORD_HAVE_SCHED_SETSCHEDULER)
    const sched_param ordinary{};
    ::sched_setscheduler(0, SCHED_OTHER, &ordinary);
#endif
#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
    ::prctl(PR_SET_TIMERSLACK, USUAL_TIMER_SLACK_NS, 0, 0, 0);
#endif
    long reads = 0;
    const int fd = plan.line;
    if (!exchange_command(fd, plan.init, reads)) ::_exit(2);
    ::tcsetattr(fd, TCSANOW, &plan.working);
    char go = 0;
    if (::write(plan.to_parent, "r", 1) != 1 || ::read(plan.from_parent, &go, 1) != 1) ::_exit(3);

    if (!exchange_command(fd, plan.get_picture, reads)) ::_exit(4);
    std::array<std::uint8_t, BLOCK_WITH_CHECKSUM> block{};
    for (int b = 0; b < plan.blocks; ++b) {
        if (!read_exact(fd, block.data(), block.size(), reads)) ::_exit(5);
        if (::write(fd, &sim::BLOCK_OK, 1) != 1) ::_exit(6);
    }
    std::uint8_t completion = 0xFF;
    if (!read_exact(fd, &completion, 1, reads)) ::_exit(7);
    if (::write(plan.to_parent, "d", 1) != 1) ::_exit(8);
    if (::write(plan.to_parent, &reads, sizeof reads) != sizeof reads) ::_exit(9);
    ::_exit(0);
}

}  // namespace

bare_result run_bare_client(long baud, bool low_res, int latency_us) {
    const sim::speed_code* code = nullptr;
    for (const sim::speed_code& c : sim::SPEED_CODES)
        if (c.speed == baud) code = &c;
    if (code == nullptr) throw std::invalid_argument("no such speed");

    std::unique_ptr<sim::camera_sim> camera;
    {
        const camera_timing timing;
        camera = std::make_unique<sim::camera_sim>(sim::camera_with_pictures(1, low_res), sim::fault_config{},
                                                   sim::pacing_config{true, latency_us});
    }
    client_plan plan;
    plan.line = ::open(camera->device_path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (plan.line < 0) throw std::runtime_error("cannot open " + camera->device_path());
    const termios home = raw_settings(B9600);
    ::tcsetattr(plan.line, TCSANOW, &home);
    plan.working = raw_settings(code->constant);
    plan.init = {0x41, 0x00, code->hi, code->lo, 0x00, 0x00, 0x00, 0x1A};
    plan.get_picture = {0x51, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x1A};
    plan.blocks = low_res ? LOW_RES_BLOCKS : HIGH_RES_BLOCKS;
    int up[2];
    int down[2];
    if (sim::make_pipe(up, O_CLOEXEC) != 0 || sim::make_pipe(down, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    plan.to_parent = up[1];
    plan.from_parent = down[0];

    bare_result result;
    const clock::time_point child_start = clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) run_client(plan);
    ::close(up[1]);
    ::close(down[0]);
    char mark = 0;
    if (::read(up[0], &mark, 1) == 1 && mark == 'r') {
        const line_record before = record_of(*camera);
        const clock::time_point start = clock::now();
        if (::write(down[1], "g", 1) == 1 && ::read(up[0], &mark, 1) == 1 && mark == 'd') {
            result.wall = std::chrono::duration<double>(clock::now() - start).count();
            result.line_minimum = budget_between(before, record_of(*camera), latency_us).total();
            result.ok = ::read(up[0], &result.reads, sizeof result.reads) == sizeof result.reads;
        }
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    result.child_wall = std::chrono::duration<double>(clock::now() - child_start).count();
    result.ok = result.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    result.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    ::close(up[0]);
    ::close(down[1]);
    ::close(plan.line);
    return result;
}

}  // namespace lumicord::bench

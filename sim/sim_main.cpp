// lumicord-sim: a simulated camera on a pseudo-terminal, for trying
// Lumicord without a camera and for scripted tests.
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "sim/camera_sim.h"
#include "sim/device_link.h"
#include "sim/save_pictures.h"
#include "sim/sim_options.h"

int main(int argc, char** argv) {
    using namespace lumicord::sim;
    const sim_options o = parse_sim_options(argc, argv);
    if (o.help) {
        show_sim_usage();
        return 0;
    }
    if (!o.error.empty()) {
        std::fprintf(stderr, "lumicord-sim: %s\n", o.error.c_str());
        std::fprintf(stderr, "Try 'lumicord-sim --help'.\n");
        return 2;
    }
    if (!o.save_pictures_dir.empty()) return save_pictures(o.camera, o.save_pictures_dir) ? 0 : 1;
    if (!o.link_path.empty()) {
        const std::string refusal = link_refusal(o.link_path);
        if (!refusal.empty()) {
            std::fprintf(stderr, "lumicord-sim: %s\n", refusal.c_str());
            return 1;
        }
    }
    std::FILE* log = nullptr;
    if (!o.log_path.empty()) {
        log = std::fopen(o.log_path.c_str(), "w");
        if (log == nullptr) {
            std::perror(o.log_path.c_str());
            return 1;
        }
    }
    // Block the stop signals before the serving thread starts so that only
    // this thread ever sees them.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);

    camera_sim sim(o.camera, o.faults, o.pacing);
    if (log != nullptr) sim.log_to(log);
    device_link link;
    if (!o.link_path.empty()) {
        const std::string failure = link.make(sim.device_path(), o.link_path);
        if (!failure.empty()) {
            std::fprintf(stderr, "lumicord-sim: %s\n", failure.c_str());
            sim.log_to(nullptr);
            if (log != nullptr) std::fclose(log);
            return 1;
        }
    }
    std::printf("%s\n", sim.device_path().c_str());
    std::fflush(stdout);
    // While hung up the link is gone, as an unplugged adapter's names are;
    // when the camera comes back on a new terminal the link leads the host
    // there, and the new path goes out as the first did.
    sim.on_terminal_change([&link](const std::string& path) {
        if (path.empty()) {
            link.remove();
            return;
        }
        const std::string failure = link.retarget(path);
        if (!failure.empty()) std::fprintf(stderr, "lumicord-sim: %s\n", failure.c_str());
        std::printf("%s\n", path.c_str());
        std::fflush(stdout);
    });

    int signal_number = 0;
    sigwait(&stops, &signal_number);
    sim.log_to(nullptr);
    if (log != nullptr) std::fclose(log);
    return 0;
}

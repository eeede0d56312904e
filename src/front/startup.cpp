#include "front/startup.h"

#include <cstdio>

#include "files/picture_files.h"
#include "front/command_loop.h"
#include "front/console.h"
#include "front/console_input.h"
#include "front/goodbye.h"
#include "front/options.h"
#include "front/stop_signals.h"
#include "front/video_mode.h"
#include "link/camera.h"
#include "link/port_listing.h"

namespace lumicord::front {

void run_program(int argc, char** argv) {
    prepare_console();
    // First of all, so that the hints come before any other output, a help
    // banner included.
    hint_separate_values(argc, argv, stderr);
    read_options(argc, argv);
    // A command file left from an earlier run would point the converter at
    // the wrong pictures.
    files::delete_converter_file();
    show_banner();
    if (options.video_count == 0) show_menu();

    // From here on a stop signal ends the program through the goodbye, which
    // leaves camera and device as they were.
    install_stop_handlers();
    const char* device = chosen_device();
    int result = camlink::camera_connect(device, options.baud);
    if (result != camlink::RES_OK) {
        if (result == camlink::RES_USER_BREAK) {
            report_result(result);
        } else {
            std::printf("\nCamera not found at %s!", device);
            std::printf("\nCheck the -C option and if camera is ON.");
            // On a terminal this comes under "Camera not found", before the
            // advice line, which still waits for its newline.
            camlink::hint_serial_ports(device);
        }
        say_goodbye(-1);
    }
    result = camlink::query_status();
    if (result != camlink::RES_OK) {
        report_result(result);
        say_goodbye(-1);
    }
    show_status(false);
    if (options.video_count != 0) run_video_mode();
    run_command_loop();
}

}  // namespace lumicord::front
